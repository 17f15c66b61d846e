' The about window through the registered library: Misc.About and Dialog.About
' open one window, which the window class finds by its caption and closes.
Option Explicit
Dim failures: failures = 0
Sub Check(ok, what)
    If Not ok Then failures = failures + 1: WScript.Echo "FAILED: " & what
End Sub

Dim misc, dlg, win, cls, caption, h, again
Set misc = CreateObject("Quillmark.Misc")
Set dlg = CreateObject("Quillmark.Dialog")
Set win = CreateObject("Quillmark.Window")
cls = "ThunderRT6FormDC": caption = "About"

misc.About
h = win.FindWindow(cls, caption)
Check h <> 0, "Misc.About shows a window captioned About"

misc.About
dlg.About
again = win.FindWindow(cls, caption)
Check again = h, "a second Misc.About and Dialog.About show the same window: " & h & " / " & again

Check win.CloseWindow(h), "Window.CloseWindow closes the about window"
Check Not win.isHwnd(h), "the about window is gone"
Check win.FindWindow(cls, caption) = 0, "no about window is left"

If failures = 0 Then WScript.Echo "CLIENT-OK"
WScript.Quit failures
