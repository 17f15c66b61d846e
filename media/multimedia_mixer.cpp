// Multimedia: wave-out volume, the speakers' mute control, the sound card, and
// module music through the outside player library.
#include <optional>
#include <string>
#include <vector>

#include "frame/shared.h"
#include "media/multimedia.h"
#include "media/multimedia_internal.h"
#include "runtime/ansi.h"
#include "runtime/contract.h"

namespace qm {

namespace media {

FARPROC declared_entry(HMODULE& module, const wchar_t* dll, const char* name) {
    if (!module) module = LoadLibraryW(dll);
    if (!module) raise(err::FileNotFound, L"File not found: " + std::wstring(dll));
    FARPROC entry = GetProcAddress(module, name);
    if (!entry)
        raise(453, L"Can't find DLL entry point " + from_ansi(name) + L" in " + std::wstring(dll));
    return entry;
}

}  // namespace media

namespace {

using media::winmm;

constexpr DWORD kSpeakers = MIXERLINE_COMPONENTTYPE_DST_SPEAKERS;  // 4
constexpr DWORD kMuteControl = MIXERCONTROL_CONTROLTYPE_MUTE;      // &H20010002

// The mixer device that Mute opened, closed when the call ends.
class OpenMixer {
public:
    OpenMixer() { ok_ = winmm().open_mixer(&mixer_, 0, 0, 0, 0) == MMSYSERR_NOERROR; }
    ~OpenMixer() {
        if (ok_) winmm().close_mixer(mixer_);
    }
    OpenMixer(const OpenMixer&) = delete;
    OpenMixer& operator=(const OpenMixer&) = delete;
    bool ok() const noexcept { return ok_; }
    HMIXEROBJ object() const noexcept { return reinterpret_cast<HMIXEROBJ>(mixer_); }

private:
    HMIXER mixer_ = nullptr;
    bool ok_ = false;
};

// The identifier of the first control of a type on the line of a component type
// of the open mixer; 0 when there is none.
DWORD Get_MixerControl(const OpenMixer& mixer, DWORD component_type, DWORD control_type) {
    MIXERLINEA line{};
    line.cbStruct = sizeof line;
    line.dwComponentType = component_type;
    if (winmm().line_info(mixer.object(), &line, MIXER_OBJECTF_HMIXER | MIXER_GETLINEINFOF_COMPONENTTYPE) !=
        MMSYSERR_NOERROR)
        return 0;
    MIXERCONTROLA control{};
    control.cbStruct = sizeof control;
    MIXERLINECONTROLSA controls{};
    controls.cbStruct = sizeof controls;
    controls.dwLineID = line.dwLineID;
    controls.dwControlType = control_type;
    controls.cControls = 1;
    controls.cbmxctrl = sizeof control;
    controls.pamxctrl = &control;
    if (winmm().line_controls(mixer.object(), &controls, MIXER_OBJECTF_HMIXER | MIXER_GETLINECONTROLSF_ONEBYTYPE) !=
        MMSYSERR_NOERROR)
        return 0;
    return control.dwControlID;
}

bool switch_mute(bool on) {
    OpenMixer mixer;
    if (!mixer.ok()) return false;
    MIXERLINEA line{};
    line.cbStruct = sizeof line;
    line.dwDestination = 0;
    if (winmm().line_info(mixer.object(), &line, MIXER_OBJECTF_HMIXER | MIXER_GETLINEINFOF_DESTINATION) !=
            MMSYSERR_NOERROR ||
        line.dwComponentType != kSpeakers)
        return false;
    const DWORD control = Get_MixerControl(mixer, kSpeakers, kMuteControl);
    if (control == 0) return false;

    // The current state: one value per channel of the line, the first one counts.
    std::vector<MIXERCONTROLDETAILS_BOOLEAN> values(line.cChannels ? line.cChannels : 1);
    MIXERCONTROLDETAILS details{};
    details.cbStruct = sizeof details;
    details.dwControlID = control;
    details.cChannels = line.cChannels;
    details.cbDetails = sizeof(MIXERCONTROLDETAILS_BOOLEAN);
    details.paDetails = values.data();
    if (winmm().get_details(mixer.object(), &details, MIXER_OBJECTF_HMIXER | MIXER_GETCONTROLDETAILSF_VALUE) !=
        MMSYSERR_NOERROR)
        return false;
    if ((values[0].fValue != 0) == on) return true;

    MIXERCONTROLDETAILS_BOOLEAN wanted{on ? 1L : 0L};
    details.cChannels = 1;
    details.paDetails = &wanted;
    return winmm().set_details(mixer.object(), &details, MIXER_OBJECTF_HMIXER | MIXER_SETCONTROLDETAILSF_VALUE) ==
           MMSYSERR_NOERROR;
}

// The module player, resolved on first use as the runtime's declared calls are.
namespace bassmod {

HMODULE module = nullptr;

template <class Fn>
Fn entry(const char* name) {
    return reinterpret_cast<Fn>(media::declared_entry(module, L"bassmod.dll", name));
}

void Init(int device, DWORD rate, DWORD flags) {
    entry<BOOL(WINAPI*)(int, DWORD, DWORD)>("BASSMOD_Init")(device, rate, flags);
}
void MusicLoad(BOOL memory, const char* file, DWORD offset, DWORD length, DWORD flags) {
    entry<BOOL(WINAPI*)(BOOL, const void*, DWORD, DWORD, DWORD)>("BASSMOD_MusicLoad")(memory, file, offset, length,
                                                                                     flags);
}
void MusicPlay() { entry<BOOL(WINAPI*)()>("BASSMOD_MusicPlay")(); }
void MusicStop() { entry<BOOL(WINAPI*)()>("BASSMOD_MusicStop")(); }
void Free() { entry<void(WINAPI*)()>("BASSMOD_Free")(); }

}  // namespace bassmod

// The player takes its file name in ANSI bytes only: the name as written when the
// code page holds it, else the file's short name, which names the same file. A
// look-alike would be another file: 53 when the file has no short name to give
// (it is not there), 52 when that is no plain ANSI name either.
std::string module_file(std::wstring_view file) {
    if (std::optional<std::string> exact = to_ansi_exact(file)) return *exact;
    Bstr short_path;
    check(shared<_File>()->Get_ShortPath(Bstr(file).get(), short_path.put()));
    if (short_path.view().empty()) raise(err::FileNotFound);
    if (std::optional<std::string> exact = to_ansi_exact(short_path.view())) return *exact;
    raise(err::BadFileNameOrNumber);
}

}  // namespace

// vRight goes to the low-order word, which the system plays on the left channel.
HRESULT Multimedia::Set_Volume(short vRight, short vLeft, VARIANT_BOOL* result) {
    return untrapped(result, [&] {
        const DWORD volume = (static_cast<DWORD>(static_cast<WORD>(vLeft)) << 16) | static_cast<WORD>(vRight);
        return winmm().set_volume(reinterpret_cast<HWAVEOUT>(0), volume) == MMSYSERR_NOERROR;
    });
}

// True when the speakers' mute control of the first mixer is in the wanted state:
// it already was, or the switch succeeded.
HRESULT Multimedia::Mute(VARIANT_BOOL* MuteON, VARIANT_BOOL* result) {
    return untrapped(result, [&] { return switch_mute(MuteON && *MuteON != VARIANT_FALSE); });
}

HRESULT Multimedia::Soundcard_Installed(VARIANT_BOOL* result) {
    return untrapped(result, [] {
        VARIANT_BOOL installed = VARIANT_FALSE;
        check(shared<_Hardware>()->Soundcard_Installed(&installed));
        return installed;
    });
}

HRESULT Multimedia::Soundcard_ProductName(long* Index, BSTR* result) {
    return untrapped(result, [&] {
        MIXERCAPSA caps{};
        const UINT_PTR device = static_cast<UINT_PTR>(static_cast<UINT>(Index ? *Index : 0));
        if (winmm().dev_caps(device, &caps, sizeof caps) != MMSYSERR_NOERROR) return Bstr();
        return Bstr(from_ansi(std::string_view(caps.szPname, strnlen(caps.szPname, sizeof caps.szPname))));
    });
}

void Multimedia::play_module(std::wstring_view file, long command) {
    if (command == pcSTART) {
        const std::string name = module_file(file);
        if (playing_) play_module({}, pcSTOP);
        bassmod::Init(-1, 44100, 0);
        bassmod::MusicLoad(FALSE, name.c_str(), 0, 0, 0x202);
        bassmod::MusicPlay();
        playing_ = true;
    } else if (command == pcSTOP) {
        bassmod::MusicStop();
        bassmod::Free();
        playing_ = false;
    }
}

// The player's results are not looked at: a file that cannot be loaded still
// counts as playing.
HRESULT Multimedia::Play_MODfile(BSTR MODfile, PlayCommand* Command) {
    if (!Command) return E_POINTER;
    return untrapped([&] { play_module(text_of(MODfile), *Command); });
}

}  // namespace qm
