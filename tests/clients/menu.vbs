' Menu and the Forms members a script reaches without a window of its own.
Option Explicit
Dim failures: failures = 0
Sub Check(ok, what)
    If Not ok Then failures = failures + 1: WScript.Echo "FAILED: " & what
End Sub

Dim m, f, n, t, what, sys
Set m = CreateObject("Quillmark.Menu")
Set f = CreateObject("Quillmark.Forms")
Check m.Get_MenuItemCount(0) = -1, "Get_MenuItemCount of no window"
Check m.Click_MenuItemByCaption(0, "Nirgends") = False, "Click_MenuItemByCaption of nothing"
Check m.Click_MenuItemBymHwnd(0, 0, 0) = False, "Click_MenuItemBymHwnd of no menu"
sys = True
Check m.Remove_MenuByCaption(0, "&Verschieben", sys) = False, "Remove_MenuByCaption of no window"
what = 1
Check m.Set_MenuColor(what, 0, &HFF) = 0, "Set_MenuColor of no window"
f.Get_NonClientHeight n, t
Check n > 0 And t > 0 And t <= n, "Get_NonClientHeight " & n & ", " & t
n = 0
Check f.CloseBox_Deaktivate(n) = False, "CloseBox_Deaktivate of no window"
f.Update n

If failures = 0 Then WScript.Echo "CLIENT-OK"
WScript.Quit failures
