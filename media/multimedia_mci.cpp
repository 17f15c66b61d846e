// Multimedia: media files through MCI command strings, system sounds, the beeper.
// No device is opened or closed here: each command names the file's short path
// and MCI opens that device by itself, so a later call on the same file reaches
// the same device.
#include <cwchar>

#include "frame/shared.h"
#include "media/multimedia.h"
#include "media/multimedia_internal.h"
#include "runtime/contract.h"
#include "runtime/convert.h"
#include "runtime/strings.h"

namespace qm {

namespace media {

const Winmm& system_winmm() noexcept {
    static const Winmm table{&::mciSendStringW,        &::PlaySoundW,          &::waveOutSetVolume,
                             &::mixerOpen,             &::mixerClose,          &::mixerGetLineInfoA,
                             &::mixerGetLineControlsA, &::mixerGetControlDetailsA, &::mixerSetControlDetails,
                             &::mixerGetDevCapsA};
    return table;
}

Winmm& winmm() noexcept {
    static Winmm table = system_winmm();
    return table;
}

std::wstring mci_device(std::wstring_view short_path) {
    if (short_path.find(L' ') == std::wstring_view::npos) return std::wstring(short_path);
    return L"\"" + std::wstring(short_path) + L"\"";
}

std::wstring mci_command(std::wstring_view verb, std::wstring_view device, std::wstring_view tail) {
    std::wstring command(verb);
    command += L' ';
    command += device;
    command += tail;
    return command;
}

const wchar_t* system_sound_alias(long sound) noexcept {
    // "SystemExclamation" is the scheme's name of the exclamation sound.
    static const wchar_t* const kAliases[] = {
        L"SystemQuestion", L"SystemExclamation", L"SystemHand", L"Maximize",    L"MenuCommand", L"MenuPopup",
        L"Minimize",       L"MailBeep",          L"Open",       L"Close",       L"AppGPFault",  L".Default",
        L"SystemAsterisk", L"RestoreUp",         L"RestoreDown", L"SystemExit", L"SystemStart"};
    if (sound < 0 || sound >= static_cast<long>(std::size(kAliases))) return nullptr;
    return kAliases[sound];
}

}  // namespace media

namespace {

using media::winmm;

bool file_exists(BSTR file) {
    long error = 0;
    VARIANT_BOOL exists = VARIANT_FALSE;
    check(shared<_File>()->Exist(file, &error, &exists));
    return exists != VARIANT_FALSE;
}

std::wstring device_of(BSTR file) {
    Bstr short_path;
    check(shared<_File>()->Get_ShortPath(file, short_path.put()));
    return media::mci_device(short_path.view());
}

// A command whose answer is not wanted: the one-character text "0" with length 0.
bool send(const std::wstring& command) {
    wchar_t none[] = L"0";
    return winmm().send_string(command.c_str(), none, 0, nullptr) == 0;
}

// A command with its answer (up to 255 characters); false when it fails.
bool ask(const std::wstring& command, std::wstring& answer) {
    wchar_t buffer[256] = {};
    if (winmm().send_string(command.c_str(), buffer, 255, nullptr) != 0) return false;
    answer.assign(buffer, wcsnlen(buffer, 255));
    return true;
}

}  // namespace

HRESULT Multimedia::Play_MultimediaFile(BSTR File, MULTIMEDIACOMMAND* Command, VARIANT_BOOL* result) {
    if (!Command) return E_POINTER;
    return untrapped(result, [&] {
        const wchar_t* verb = nullptr;
        switch (*Command) {
            case mmSTOP: verb = L"stop"; break;
            case mmPLAY:
            case mmRESUME: verb = L"play"; break;
            case mmPAUSE: verb = L"pause"; break;
            default: return false;
        }
        return send(media::mci_command(verb, device_of(File)));
    });
}

// Seconds, rounded half to even; -1 for a missing file, 0 when MCI cannot tell.
HRESULT Multimedia::Get_PlayTime(BSTR File, long* result) {
    return untrapped(result, [&]() -> long {
        if (!file_exists(File)) return -1;
        const std::wstring device = device_of(File);
        if (!send(media::mci_command(L"set", device, L" time format ms"))) return 0;
        std::wstring answer;
        if (!ask(media::mci_command(L"status", device, L" length"), answer)) return 0;
        return CLng(Val(answer) / 1000);
    });
}

HRESULT Multimedia::isFilePlayable(BSTR File, VARIANT_BOOL* result) {
    return untrapped(result, [&] {
        if (!file_exists(File)) return false;
        std::wstring answer;
        if (!ask(media::mci_command(L"capability", device_of(File), L" can play"), answer)) return false;
        return LCase(answer).find(L"true") != std::wstring::npos;
    });
}

// The system plays 37 to 32,767 Hz and refuses other frequencies (some systems
// ignore them and report success); a negative duration would be a wait of weeks.
HRESULT Multimedia::Beep(long Freq, long duration, VARIANT_BOOL* result) {
    return untrapped(result, [&] {
        if (Freq < 37 || Freq > 32767 || duration < 0) return false;
        return ::Beep(static_cast<DWORD>(Freq), static_cast<DWORD>(duration)) != FALSE;
    });
}

// Plays asynchronously; nothing when the scheme has no sound for the alias.
HRESULT Multimedia::Play_SystemSound(SYSTEMSOUND* Sound, VARIANT_BOOL* result) {
    if (!Sound) return E_POINTER;
    return untrapped(result, [&] {
        const wchar_t* alias = media::system_sound_alias(*Sound);
        if (!alias) return false;
        return winmm().play_sound(alias, nullptr, SND_ALIAS | SND_ASYNC | SND_NODEFAULT) == TRUE;
    });
}

HRESULT Multimedia::AVI_Play(BSTR File, VARIANT_BOOL* Fullscreen, VARIANT_BOOL* result) {
    return untrapped(result, [&] {
        const bool full = Fullscreen && *Fullscreen != VARIANT_FALSE;
        return send(media::mci_command(L"play", device_of(File), full ? L" fullscreen " : L""));
    });
}

}  // namespace qm
