// Hardware: ports, joystick, monitor, speaker and sound card.
#include <windows.h>
#include <mmsystem.h>

#include "runtime/contract.h"
#include "system/hardware.h"

namespace qm {

// A wave-out or MIDI-out device counts; the MIDI count is taken as 16 bits.
HRESULT Hardware::Soundcard_Installed(VARIANT_BOOL* result) {
    return untrapped(result, [] {
        const long devices = static_cast<long>(waveOutGetNumDevs()) + static_cast<WORD>(midiOutGetNumDevs());
        return devices >= 1;
    });
}

}  // namespace qm
