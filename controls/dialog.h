// Dialog: message, question and common dialogs.
#pragma once
#include "runtime/dispatch.h"
#include "runtime/interfaces.h"

namespace qm {

class Dialog : public Dispatch<_Dialog> {
public:
    // Message and question boxes
    HRESULT STDMETHODCALLTYPE Ask(long hwnd, BSTR Prompt, BSTR Title, long* Button, long* result) override;
    HRESULT STDMETHODCALLTYPE MsgBox(long hwnd, BSTR Title, BSTR Prompt, long* Button, long* XPos, long* YPos,
                                     long* AutoCloser, long* result) override;
};

}  // namespace qm
