// Multimedia's links to winmm and to the module player, and the MCI command texts.
#pragma once
#include <windows.h>
#include <mmsystem.h>

#include <string>
#include <string_view>

namespace qm::media {

// The winmm calls the members make, one table so that a test can stand in for
// the sound system where the real one cannot show a case.
struct Winmm {
    decltype(&::mciSendStringW) send_string;
    decltype(&::PlaySoundW) play_sound;
    decltype(&::waveOutSetVolume) set_volume;
    decltype(&::mixerOpen) open_mixer;
    decltype(&::mixerClose) close_mixer;
    decltype(&::mixerGetLineInfoA) line_info;
    decltype(&::mixerGetLineControlsA) line_controls;
    decltype(&::mixerGetControlDetailsA) get_details;
    decltype(&::mixerSetControlDetails) set_details;
    decltype(&::mixerGetDevCapsA) dev_caps;
};
Winmm& winmm() noexcept;
// The table of the real functions.
const Winmm& system_winmm() noexcept;

// The MCI device name of a file: its short path, put in double quotes when it
// still holds a blank (a volume without short names hands back the long path), so
// that the command's parser reads it as one name.
std::wstring mci_device(std::wstring_view short_path);
// "verb device" followed by tail.
std::wstring mci_command(std::wstring_view verb, std::wstring_view device, std::wstring_view tail = {});

// The sound-scheme alias of a SYSTEMSOUND value; nullptr outside 0 to 16.
const wchar_t* system_sound_alias(long sound) noexcept;

// A function of a DLL as the runtime's declared calls find it: the DLL is loaded
// by name on first use (module keeps it), 53 when it cannot be loaded, 453 when it
// lacks the export.
FARPROC declared_entry(HMODULE& module, const wchar_t* dll, const char* name);

}  // namespace qm::media
