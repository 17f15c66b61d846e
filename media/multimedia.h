// Multimedia: sound, music and video.
#pragma once
#include "runtime/dispatch.h"
#include "runtime/interfaces.h"

namespace qm {

class Multimedia : public Dispatch<_Multimedia> {
public:
    // Media playback and system sounds
    HRESULT STDMETHODCALLTYPE Play_MultimediaFile(BSTR File, MULTIMEDIACOMMAND* Command, VARIANT_BOOL* result) override;
    HRESULT STDMETHODCALLTYPE Get_PlayTime(BSTR File, long* result) override;
    HRESULT STDMETHODCALLTYPE isFilePlayable(BSTR File, VARIANT_BOOL* result) override;
    HRESULT STDMETHODCALLTYPE Beep(long Freq, long duration, VARIANT_BOOL* result) override;
    HRESULT STDMETHODCALLTYPE Play_SystemSound(SYSTEMSOUND* Sound, VARIANT_BOOL* result) override;
    HRESULT STDMETHODCALLTYPE AVI_Play(BSTR File, VARIANT_BOOL* Fullscreen, VARIANT_BOOL* result) override;

    // Volume, mute, sound card and module music
    HRESULT STDMETHODCALLTYPE Play_MODfile(BSTR MODfile, PlayCommand* Command) override;
    HRESULT STDMETHODCALLTYPE Set_Volume(short vRight, short vLeft, VARIANT_BOOL* result) override;
    HRESULT STDMETHODCALLTYPE Mute(VARIANT_BOOL* MuteON, VARIANT_BOOL* result) override;
    HRESULT STDMETHODCALLTYPE Soundcard_Installed(VARIANT_BOOL* result) override;
    HRESULT STDMETHODCALLTYPE Soundcard_ProductName(long* Index, BSTR* result) override;

    // Audio tags
    HRESULT STDMETHODCALLTYPE MP3_ReadID3v1Tag(BSTR File, ID3V1TAGINFO* ID3Tag, long* ErrorNumber,
                                               VARIANT_BOOL* result) override;
    HRESULT STDMETHODCALLTYPE MP3_ReadID3v2Tag(BSTR File, ID3V2TAGINFO* ID3Tag, long* ErrorNumber,
                                               VARIANT_BOOL* result) override;

private:
    void play_module(std::wstring_view file, long command);

    bool playing_ = false;  // this instance started module music and has not stopped it
};

}  // namespace qm
