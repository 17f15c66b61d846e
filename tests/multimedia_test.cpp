// Multimedia: MCI playback states, system sounds, volume, mute, the sound card and
// module music. The run's sound device is ALSA's null device: nothing is audible,
// so the tests read MCI's states, Wine's mixer, and a recording stand-in where
// the sound system cannot show a case.
#include <gtest/gtest.h>

#include <windows.h>
#include <mmsystem.h>

#include <string>
#include <vector>

#include "media/multimedia.h"
#include "media/multimedia_internal.h"
#include "runtime/ansi.h"
#include "runtime/interfaces.h"
#include "support.h"

using qm::Bstr;
using qm::ComPtr;
using qm::Variant;
using namespace qmtest;

namespace {

// A PCM wave file of 8 kHz, 8 bits, mono and the given length.
std::string wave(long ms) {
    const unsigned data = 8 * ms;
    auto u32 = [](unsigned v) { return std::string{char(v), char(v >> 8), char(v >> 16), char(v >> 24)}; };
    auto u16 = [](unsigned v) { return std::string{char(v), char(v >> 8)}; };
    return "RIFF" + u32(36 + data) + "WAVEfmt " + u32(16) + u16(1) + u16(1) + u32(8000) + u32(8000) + u16(1) + u16(8) +
           "data" + u32(data) + std::string(data, char(0x80));
}

std::wstring short_path(const std::wstring& path) {
    wchar_t buf[MAX_PATH];
    DWORD n = GetShortPathNameW(path.c_str(), buf, MAX_PATH);
    return std::wstring(buf, n);
}

// The test's own MCI query of a device, by the name the members give it.
std::wstring mci(const std::wstring& command) {
    wchar_t answer[256] = {};
    if (mciSendStringW(command.c_str(), answer, 255, nullptr) != 0) return L"<error>";
    return answer;
}

class MultimediaTest : public ::testing::Test {
protected:
    void SetUp() override {
        disp_ = create(L"Quillmark.Multimedia");
        ASSERT_TRUE(disp_);
        mm_ = disp_.query<_Multimedia>();
        ASSERT_TRUE(mm_);
    }
    bool play(const std::wstring& file, long command) {
        auto c = static_cast<MULTIMEDIACOMMAND>(command);
        VARIANT_BOOL ok = 0;
        EXPECT_EQ(mm_->Play_MultimediaFile(Bstr(file).get(), &c, &ok), S_OK);
        return ok == VARIANT_TRUE;
    }
    long play_time(const std::wstring& file) {
        long seconds = -99;
        EXPECT_EQ(mm_->Get_PlayTime(Bstr(file).get(), &seconds), S_OK);
        return seconds;
    }
    bool playable(const std::wstring& file) {
        VARIANT_BOOL ok = 0;
        EXPECT_EQ(mm_->isFilePlayable(Bstr(file).get(), &ok), S_OK);
        return ok == VARIANT_TRUE;
    }
    std::wstring wav(const wchar_t* name, long ms) {
        std::wstring path = scratch() + name;
        write_bytes(path, wave(ms));
        return path;
    }

    ComPtr<IDispatch> disp_;
    ComPtr<_Multimedia> mm_;
};

TEST_F(MultimediaTest, MembersInSlotOrder) {
    ComPtr<ITypeInfo> info;
    ASSERT_EQ(disp_->GetTypeInfo(0, 0, info.put()), S_OK);
    const wchar_t* expected[] = {L"Play_MultimediaFile", L"Play_MODfile", L"Get_PlayTime", L"isFilePlayable",
                                 L"Beep", L"Set_Volume", L"Play_SystemSound", L"Mute", L"Soundcard_Installed",
                                 L"Soundcard_ProductName", L"AVI_Play"};
    std::vector<std::pair<short, std::wstring>> members;
    TYPEATTR* attr = nullptr;
    ASSERT_EQ(info->GetTypeAttr(&attr), S_OK);
    for (UINT i = 0; i < attr->cFuncs; ++i) {
        FUNCDESC* f = nullptr;
        info->GetFuncDesc(i, &f);
        BSTR name = nullptr;
        UINT n = 0;
        info->GetNames(f->memid, &name, 1, &n);
        if (f->oVft >= 7 * static_cast<short>(sizeof(void*))) members.emplace_back(f->oVft, name);
        SysFreeString(name);
        info->ReleaseFuncDesc(f);
    }
    info->ReleaseTypeAttr(attr);
    std::sort(members.begin(), members.end());
    ASSERT_GE(members.size(), std::size(expected));
    for (size_t i = 0; i < std::size(expected); ++i) EXPECT_EQ(members[i].second, expected[i]) << i;
}

TEST_F(MultimediaTest, PlaybackStatesThroughTheShortPath) {
    const std::wstring file = wav(L"mm zehn sekunden.wav", 10000);
    const std::wstring device = short_path(file);
    ASSERT_FALSE(device.empty());
    const std::wstring mode = L"status " + device + L" mode";
    ASSERT_TRUE(play(file, mmPLAY));
    EXPECT_EQ(mci(mode), L"playing");
    EXPECT_TRUE(play(file, mmPAUSE));
    EXPECT_EQ(mci(mode), L"paused");
    EXPECT_TRUE(play(file, mmRESUME));  // resumes with "play"
    EXPECT_EQ(mci(mode), L"playing");
    EXPECT_TRUE(play(file, mmSTOP));
    EXPECT_EQ(mci(mode), L"stopped");
    EXPECT_FALSE(play(file, 4));
    mci(L"close " + device);

    // A file in a folder with blanks.
    const std::wstring folder = scratch() + L"mm Ordner mit Blanks\\";
    CreateDirectoryW(folder.c_str(), nullptr);
    const std::wstring song = folder + L"kurzes lied.wav";
    write_bytes(song, wave(3000));
    EXPECT_TRUE(play(song, mmPLAY));
    EXPECT_TRUE(play(song, mmSTOP));
    mci(L"close " + qm::media::mci_device(short_path(song)));
}

TEST_F(MultimediaTest, PlayTimeAndPlayability) {
    const std::wstring a = wav(L"mm 2500.wav", 2500), b = wav(L"mm 3500.wav", 3500);
    const std::wstring text = scratch() + L"mm text.wav";
    write_bytes(text, "kein Klang, nur Text\r\n");
    EXPECT_EQ(play_time(a), 2);  // halves go to the even neighbour
    EXPECT_EQ(play_time(b), 4);
    EXPECT_EQ(play_time(scratch() + L"mm fehlt.wav"), -1);
    EXPECT_EQ(play_time(text), 0);
    EXPECT_TRUE(playable(a));
    EXPECT_FALSE(playable(text));
    // A name the code page holds only as a look-alike reaches MCI as that file.
    for (const HostileChar& c : kHostileChars)
        EXPECT_EQ(play_time(wav((L"mm " + std::wstring(c.text) + L".wav").c_str(), 2500)), 2) << c.label;
    EXPECT_FALSE(playable(scratch() + L"mm fehlt.wav"));

    VARIANT_BOOL ok = VARIANT_TRUE, full = VARIANT_TRUE;
    EXPECT_EQ(mm_->AVI_Play(Bstr(scratch() + L"mm fehlt.avi").get(), &full, &ok), S_OK);
    EXPECT_EQ(ok, VARIANT_FALSE);

    // Late bound, the optional argument left out.
    Variant r;
    VARIANT none = v_missing();
    ASSERT_EQ(call(disp_.get(), L"AVI_Play", {v_str((scratch() + L"mm fehlt.avi").c_str()).get(), &none}, r.put()),
              S_OK);
    EXPECT_EQ(V_BOOL(r.get()), VARIANT_FALSE);
    ASSERT_EQ(call(disp_.get(), L"Get_PlayTime", {v_str(b.c_str()).get()}, r.put()), S_OK);
    EXPECT_EQ(V_I4(r.get()), 4);
}

TEST(MciCommand, DeviceNamesWithBlanksAreQuoted) {
    using qm::media::mci_command;
    using qm::media::mci_device;
    EXPECT_EQ(mci_device(L"C:\\MUSIC\\SONG~1.MP3"), L"C:\\MUSIC\\SONG~1.MP3");
    EXPECT_EQ(mci_device(L"C:\\Eigene Musik\\Lied.mp3"), L"\"C:\\Eigene Musik\\Lied.mp3\"");
    EXPECT_EQ(mci_device(L""), L"");
    EXPECT_EQ(mci_command(L"play", L"C:\\A~1.AVI", L" fullscreen "), L"play C:\\A~1.AVI fullscreen ");
    EXPECT_EQ(mci_command(L"status", mci_device(L"C:\\a b.wav"), L" length"), L"status \"C:\\a b.wav\" length");
    EXPECT_EQ(mci_command(L"play", L""), L"play ");
}

// --- the stand-in for winmm ---------------------------------------------------------

struct Recorded {
    std::vector<std::wstring> commands;
    std::vector<std::wstring> sounds;
    std::vector<DWORD> sound_flags;
    std::vector<DWORD> volumes;
    DWORD component = MIXERLINE_COMPONENTTYPE_DST_SPEAKERS;
    DWORD channels = 2, connections = 1;
    DWORD read_channels = 0;
    LONG muted = 0;
    MMRESULT write_result = MMSYSERR_NOERROR;
    std::vector<LONG> writes;
    int opened = 0, closed = 0;
};
Recorded rec;

class FakeWinmm : public ::testing::Test {
protected:
    void SetUp() override {
        rec = Recorded{};
        auto& t = qm::media::winmm();
        t.send_string = [](LPCWSTR command, LPWSTR answer, UINT length, HWND) CALLBACK -> MCIERROR {
            rec.commands.emplace_back(command);
            if (length) answer[0] = 0;
            return 0;
        };
        t.play_sound = [](LPCWSTR alias, HMODULE, DWORD flags) CALLBACK -> BOOL {
            rec.sounds.emplace_back(alias);
            rec.sound_flags.push_back(flags);
            return TRUE;
        };
        t.set_volume = [](HWAVEOUT, DWORD v) CALLBACK -> MMRESULT {
            rec.volumes.push_back(v);
            return MMSYSERR_NOERROR;
        };
        t.open_mixer = [](LPHMIXER h, UINT, DWORD_PTR, DWORD_PTR, DWORD) CALLBACK -> MMRESULT {
            ++rec.opened;
            *h = reinterpret_cast<HMIXER>(0x77);
            return MMSYSERR_NOERROR;
        };
        t.close_mixer = [](HMIXER) CALLBACK -> MMRESULT {
            ++rec.closed;
            return MMSYSERR_NOERROR;
        };
        t.line_info = [](HMIXEROBJ, LPMIXERLINEA line, DWORD) CALLBACK -> MMRESULT {
            line->dwLineID = 0xFFFF0000;
            line->dwComponentType = rec.component;
            line->cChannels = rec.channels;
            line->cConnections = rec.connections;
            return MMSYSERR_NOERROR;
        };
        t.line_controls = [](HMIXEROBJ, LPMIXERLINECONTROLSA c, DWORD) CALLBACK -> MMRESULT {
            c->pamxctrl->dwControlID = 5;
            return MMSYSERR_NOERROR;
        };
        t.get_details = [](HMIXEROBJ, LPMIXERCONTROLDETAILS d, DWORD) CALLBACK -> MMRESULT {
            rec.read_channels = d->cChannels;
            auto* v = static_cast<MIXERCONTROLDETAILS_BOOLEAN*>(d->paDetails);
            for (DWORD i = 0; i < d->cChannels; ++i) v[i].fValue = rec.muted;
            return MMSYSERR_NOERROR;
        };
        t.set_details = [](HMIXEROBJ, LPMIXERCONTROLDETAILS d, DWORD) CALLBACK -> MMRESULT {
            rec.writes.push_back(static_cast<MIXERCONTROLDETAILS_BOOLEAN*>(d->paDetails)->fValue);
            return rec.write_result;
        };
        mm_ = new qm::Multimedia();
    }
    void TearDown() override {
        mm_->Release();
        qm::media::winmm() = qm::media::system_winmm();
    }
    bool mute(bool on) {
        VARIANT_BOOL v = on ? VARIANT_TRUE : VARIANT_FALSE, ok = 0;
        EXPECT_EQ(mm_->Mute(&v, &ok), S_OK);
        return ok == VARIANT_TRUE;
    }
    qm::Multimedia* mm_ = nullptr;
};

TEST_F(FakeWinmm, SystemSoundsByAlias) {
    const wchar_t* aliases[] = {L"SystemQuestion", L"SystemExclamation", L"SystemHand", L"Maximize", L"MenuCommand",
                                L"MenuPopup", L"Minimize", L"MailBeep", L"Open", L"Close", L"AppGPFault", L".Default",
                                L"SystemAsterisk", L"RestoreUp", L"RestoreDown", L"SystemExit", L"SystemStart"};
    for (long s = -1; s <= 17; ++s) {
        auto sound = static_cast<SYSTEMSOUND>(s);
        VARIANT_BOOL ok = 0;
        ASSERT_EQ(mm_->Play_SystemSound(&sound, &ok), S_OK);
        EXPECT_EQ(ok, s >= 0 && s <= 16 ? VARIANT_TRUE : VARIANT_FALSE) << s;
    }
    ASSERT_EQ(rec.sounds.size(), 17u);  // -1 and 17 play nothing
    for (size_t i = 0; i < 17; ++i) {
        EXPECT_EQ(rec.sounds[i], aliases[i]);
        EXPECT_EQ(rec.sound_flags[i], 0x10003u);
    }
}

TEST_F(FakeWinmm, CommandTexts) {
    const std::wstring file = scratch() + L"mm fake.wav";
    write_bytes(file, wave(100));
    const std::wstring device = qm::media::mci_device(short_path(file));
    VARIANT_BOOL ok = 0, full = VARIANT_TRUE;
    for (long c : {0, 1, 2, 3, 4}) {
        auto command = static_cast<MULTIMEDIACOMMAND>(c);
        mm_->Play_MultimediaFile(Bstr(file).get(), &command, &ok);
    }
    mm_->AVI_Play(Bstr(file).get(), &full, &ok);
    long seconds = 0;
    mm_->Get_PlayTime(Bstr(file).get(), &seconds);
    mm_->isFilePlayable(Bstr(file).get(), &ok);
    std::vector<std::wstring> expected = {L"stop " + device, L"play " + device, L"pause " + device, L"play " + device,
                                          L"play " + device + L" fullscreen ", L"set " + device + L" time format ms",
                                          L"status " + device + L" length", L"capability " + device + L" can play"};
    EXPECT_EQ(rec.commands, expected);
}

TEST_F(FakeWinmm, VolumeWords) {
    VARIANT_BOOL ok = 0;
    mm_->Set_Volume(-1, 0, &ok);
    mm_->Set_Volume(0, -1, &ok);
    mm_->Set_Volume(16384, 16384, &ok);
    EXPECT_EQ(ok, VARIANT_TRUE);
    EXPECT_EQ(rec.volumes, (std::vector<DWORD>{0x0000FFFF, 0xFFFF0000, 0x40004000}));
    // A refused volume is reported.
    qm::media::winmm().set_volume = [](HWAVEOUT, DWORD) CALLBACK -> MMRESULT { return MMSYSERR_INVALHANDLE; };
    mm_->Set_Volume(1, 1, &ok);
    EXPECT_EQ(ok, VARIANT_FALSE);
}

TEST_F(FakeWinmm, MuteWritesOnlyWhenNeededAndReportsTheWrite) {
    rec.muted = 1;
    EXPECT_TRUE(mute(true));  // already muted: nothing written
    EXPECT_TRUE(rec.writes.empty());
    EXPECT_TRUE(mute(false));
    EXPECT_EQ(rec.writes, std::vector<LONG>{0});
    rec.muted = 0;
    rec.write_result = MMSYSERR_ERROR;
    EXPECT_FALSE(mute(true));  // the write failed
    EXPECT_EQ(rec.writes, (std::vector<LONG>{0, 1}));
    // More channels than the line has connections (none here): all are read.
    rec.write_result = MMSYSERR_NOERROR;
    rec.channels = 6;
    rec.connections = 0;
    rec.muted = 1;
    EXPECT_TRUE(mute(true));
    EXPECT_EQ(rec.read_channels, 6u);
    // A first destination other than the speakers.
    rec.component = MIXERLINE_COMPONENTTYPE_DST_HEADPHONES;
    EXPECT_FALSE(mute(true));
    EXPECT_EQ(rec.opened, rec.closed);  // every call closes its mixer
    EXPECT_EQ(rec.opened, 5);
}

// --- the real sound system of the run ------------------------------------------------

TEST_F(MultimediaTest, SoundsBeepAndSoundCard) {
    auto sound = ssDEFAULT;
    VARIANT_BOOL ok = 0;
    ASSERT_EQ(mm_->Play_SystemSound(&sound, &ok), S_OK);
    EXPECT_EQ(ok, VARIANT_TRUE);
    ASSERT_EQ(mm_->Beep(440, 10, &ok), S_OK);
    EXPECT_EQ(ok, VARIANT_TRUE);
    // Outside the 37 to 32,767 Hz the system plays, or for a negative time: no tone.
    const long bad[][2] = {{-1, 10},    {2147483647, 10}, {LONG_MIN, 10},   {36, 10},
                           {32768, 10}, {440, -1},        {440, LONG_MIN}};
    for (const auto& b : bad) {
        ok = VARIANT_TRUE;
        ASSERT_EQ(mm_->Beep(b[0], b[1], &ok), S_OK);
        EXPECT_EQ(ok, VARIANT_FALSE) << b[0] << " Hz " << b[1] << " ms";
    }
    ASSERT_EQ(mm_->Soundcard_Installed(&ok), S_OK);
    EXPECT_EQ(ok, VARIANT_TRUE);
    Variant installed;  // Hardware's own member, late bound
    ASSERT_EQ(call(create(L"Quillmark.Hardware").get(), L"Soundcard_Installed", {}, installed.put()), S_OK);
    EXPECT_EQ(V_BOOL(installed.get()), VARIANT_TRUE);

    MIXERCAPSA caps{};
    ASSERT_EQ(mixerGetDevCapsA(0, &caps, sizeof caps), MMSYSERR_NOERROR);
    Bstr name;
    long index = 0;
    ASSERT_EQ(mm_->Soundcard_ProductName(&index, name.put()), S_OK);
    EXPECT_EQ(name.str(), qm::from_ansi(caps.szPname));
    EXPECT_FALSE(name.str().empty());
    index = 99;
    ASSERT_EQ(mm_->Soundcard_ProductName(&index, name.put()), S_OK);
    EXPECT_EQ(name.str(), L"");
}

// Wine's state of the speakers' mute control, read past the members.
bool speakers_muted() {
    HMIXER mixer = nullptr;
    if (mixerOpen(&mixer, 0, 0, 0, 0) != MMSYSERR_NOERROR) return false;
    auto object = reinterpret_cast<HMIXEROBJ>(mixer);
    MIXERLINEA line{sizeof line};
    line.dwComponentType = MIXERLINE_COMPONENTTYPE_DST_SPEAKERS;
    mixerGetLineInfoA(object, &line, MIXER_OBJECTF_HMIXER | MIXER_GETLINEINFOF_COMPONENTTYPE);
    MIXERCONTROLA control{sizeof control};
    MIXERLINECONTROLSA controls{sizeof controls, line.dwLineID, {MIXERCONTROL_CONTROLTYPE_MUTE}, 1, sizeof control,
                                &control};
    mixerGetLineControlsA(object, &controls, MIXER_OBJECTF_HMIXER | MIXER_GETLINECONTROLSF_ONEBYTYPE);
    std::vector<MIXERCONTROLDETAILS_BOOLEAN> values(line.cChannels);
    MIXERCONTROLDETAILS details{sizeof details, control.dwControlID, line.cChannels};
    details.cbDetails = sizeof(MIXERCONTROLDETAILS_BOOLEAN);
    details.paDetails = values.data();
    mixerGetControlDetailsA(object, &details, MIXER_OBJECTF_HMIXER | MIXER_GETCONTROLDETAILSF_VALUE);
    mixerClose(mixer);
    return values[0].fValue != 0;
}

TEST_F(MultimediaTest, MuteAndVolumeOfWinesMixer) {
    // Wine's first mixer: the speakers, two channels, one source line.
    HMIXER mixer = nullptr;
    ASSERT_EQ(mixerOpen(&mixer, 0, 0, 0, 0), MMSYSERR_NOERROR);
    MIXERLINEA line{sizeof line};
    ASSERT_EQ(mixerGetLineInfoA(reinterpret_cast<HMIXEROBJ>(mixer), &line,
                                MIXER_OBJECTF_HMIXER | MIXER_GETLINEINFOF_DESTINATION),
              MMSYSERR_NOERROR);
    mixerClose(mixer);
    EXPECT_EQ(line.dwComponentType, DWORD(MIXERLINE_COMPONENTTYPE_DST_SPEAKERS));
    EXPECT_EQ(line.cChannels, 2u);

    VARIANT_BOOL ok = 0, on = VARIANT_TRUE, off = VARIANT_FALSE;
    ASSERT_EQ(mm_->Mute(&on, &ok), S_OK);
    EXPECT_EQ(ok, VARIANT_TRUE);
    EXPECT_TRUE(speakers_muted());
    ASSERT_EQ(mm_->Mute(&on, &ok), S_OK);  // already so
    EXPECT_EQ(ok, VARIANT_TRUE);
    ASSERT_EQ(mm_->Mute(&off, &ok), S_OK);
    EXPECT_EQ(ok, VARIANT_TRUE);
    EXPECT_FALSE(speakers_muted());
    Variant r;  // late bound, MuteON left out: off
    VARIANT none = v_missing();
    ASSERT_EQ(call(disp_.get(), L"Mute", {&none}, r.put()), S_OK);
    EXPECT_EQ(V_BOOL(r.get()), VARIANT_TRUE);

    // Wine refuses a volume for wave-out device 0 given by number. Read back:
    // the new volume when the member reports success, else the volume unchanged.
    DWORD before = 0x12345678, after = 0x12345678;
    const MMRESULT readable = waveOutGetVolume(reinterpret_cast<HWAVEOUT>(0), &before);
    const short half = before == 0x40004000u ? 8192 : 16384;  // a volume other than the present one
    ASSERT_EQ(mm_->Set_Volume(half, half, &ok), S_OK);
    const bool kept = ok != VARIANT_FALSE;
    EXPECT_EQ(waveOutGetVolume(reinterpret_cast<HWAVEOUT>(0), &after), readable);
    EXPECT_EQ(after, kept ? static_cast<DWORD>(MAKELONG(half, half)) : before);
    if (kept) waveOutSetVolume(reinterpret_cast<HWAVEOUT>(0), before);
    std::printf("waveOutSetVolume(0) %s\n", kept ? "keeps the value" : "fails");
}

// --- module music through the stand-in player -------------------------------------------

std::string taken_calls() {
    using Take = int(WINAPI*)(char*, int);
    auto take = reinterpret_cast<Take>(GetProcAddress(GetModuleHandleW(L"bassmod.dll"), "StandIn_TakeCalls"));
    if (!take) return "<no stand-in>";
    char buffer[4096];
    return take(buffer, sizeof buffer) < static_cast<int>(sizeof buffer) ? buffer : "<too long>";
}

TEST_F(MultimediaTest, ModuleMusicThroughThePlayer) {
    auto start = pcSTART, stop = pcSTOP, other = static_cast<PlayCommand>(3);
    const std::wstring song = scratch() + L"mm lied.mod";
    // Without the player library the runtime's error for a missing file reaches the client.
    EXPECT_EQ(mm_->Play_MODfile(Bstr(song).get(), &start), HRESULT(0x800A0035));

    wchar_t exe[MAX_PATH];
    DWORD n = GetModuleFileNameW(nullptr, exe, MAX_PATH);
    std::wstring folder(exe, n);
    folder = folder.substr(0, folder.rfind(L'\\')) + L"\\standin";
    ASSERT_TRUE(SetDllDirectoryW(folder.c_str()));

    const std::string load = "Init(-1,44100,0);MusicLoad(0," + qm::to_ansi(song) + ",0,0,514);MusicPlay();";
    ASSERT_EQ(mm_->Play_MODfile(Bstr(song).get(), &start), S_OK);
    EXPECT_EQ(taken_calls(), load);
    ASSERT_EQ(mm_->Play_MODfile(Bstr(song).get(), &start), S_OK);
    EXPECT_EQ(taken_calls(), "MusicStop();Free();" + load);
    ASSERT_EQ(mm_->Play_MODfile(Bstr(L"").get(), &other), S_OK);
    EXPECT_EQ(taken_calls(), "");

    // A stop through another instance leaves this one's flag set.
    ComPtr<_Multimedia> second = create(L"Quillmark.Multimedia").query<_Multimedia>();
    ASSERT_EQ(second->Play_MODfile(Bstr(L"").get(), &stop), S_OK);
    EXPECT_EQ(taken_calls(), "MusicStop();Free();");
    ASSERT_EQ(mm_->Play_MODfile(Bstr(song).get(), &start), S_OK);
    EXPECT_EQ(taken_calls(), "MusicStop();Free();" + load);
    ASSERT_EQ(mm_->Play_MODfile(Bstr(L"").get(), &stop), S_OK);
    EXPECT_EQ(taken_calls(), "MusicStop();Free();");

    // The player takes ANSI names: one the code page holds only as a look-alike
    // goes as the file's short name, which names that file, and without the file
    // there is no such name (53) and the player is not touched.
    for (const HostileChar& c : kHostileChars) {
        SCOPED_TRACE(c.label);
        const std::wstring odd = scratch() + L"mm lied " + c.text + L".mod";
        write_bytes(odd, "M.K.");
        ASSERT_EQ(mm_->Play_MODfile(Bstr(odd).get(), &start), S_OK);
        const std::string calls = taken_calls();
        const size_t from = calls.find("MusicLoad(0,"), to = calls.find(",0,0,514)");
        ASSERT_TRUE(from != std::string::npos && to != std::string::npos);
        wchar_t loaded[MAX_PATH] = {};
        GetLongPathNameW(qm::from_ansi(calls.substr(from + 12, to - from - 12)).c_str(), loaded, MAX_PATH);
        EXPECT_EQ(loaded, odd);
        DeleteFileW(odd.c_str());
        EXPECT_EQ(mm_->Play_MODfile(Bstr(odd).get(), &start), HRESULT(0x800A0035));
        EXPECT_EQ(taken_calls(), "");
    }
    ASSERT_EQ(mm_->Play_MODfile(Bstr(L"").get(), &stop), S_OK);
    SetDllDirectoryW(nullptr);
}

TEST(DeclaredEntry, MissingLibraryAndMissingExport) {
    HMODULE none = nullptr, kernel = nullptr;
    EXPECT_EQ(error_of([&] { qm::media::declared_entry(none, L"qm-kein-spieler.dll", "BASSMOD_Init"); }), 53);
    EXPECT_EQ(error_of([&] { qm::media::declared_entry(kernel, L"kernel32.dll", "BASSMOD_Init"); }), 453);
    EXPECT_NE(qm::media::declared_entry(kernel, L"kernel32.dll", "GetTickCount"), nullptr);
}

}  // namespace
