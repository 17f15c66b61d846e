' Desktop's screen queries, refused settings and captures, as a script calls them
' (nothing here changes the desktop).
Option Explicit
Dim failures: failures = 0
Sub Check(ok, what)
    If Not ok Then failures = failures + 1: WScript.Echo "FAILED: " & what
End Sub

Dim d, s, r, e, p
Set d = CreateObject("Quillmark.Desktop")
Check d.Get_ScreenDPI = 96, "Get_ScreenDPI"
Check d.Get_Pixel(-5, 5) = -1, "Get_Pixel off screen"
Check VarType(d.Wallpaper_GetPath) = vbString, "Wallpaper_GetPath is text"
Check VarType(d.XPtheme_isActive) = vbBoolean, "XPtheme_isActive is Boolean"
Check d.Set_DesktopResulotion(16, 60) = 0, "Set_DesktopResulotion 16"
s = "800"
Check d.Set_DesktopResulotion(15, 60, s) = 9, "Set_DesktopResulotion without x"
Check s = "800", "the text stays: " & s
Check d.SystemPanel(22) = 0, "SystemPanel 22"
Check d.SystemDirOpen(0) = 0, "SystemDirOpen 0"
d.Desktops 4, ""
d.Desktop_Update
d.RecycleBin_UpdateIcon
e = -1
Set p = d.SnapShot(0, 0, 1500, 1500, e)
Check e = 0, "SnapShot ErrorNumber " & e
Check Not p Is Nothing, "SnapShot gives a picture"
If Not p Is Nothing Then Check Round(p.Width * 96 / 2540) = 100, "SnapShot width " & p.Width
' A script cannot fill a record: an empty text (nothing shows) in the default font.
Dim t
Check d.WriteOnDesktop(t) = 0, "WriteOnDesktop"

If failures = 0 Then WScript.Echo "CLIENT-OK"
