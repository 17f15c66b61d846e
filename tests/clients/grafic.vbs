' Grafic's colour members and its Nothing results, as a script calls them.
Option Explicit
Dim failures: failures = 0
Sub Check(ok, what)
    If Not ok Then failures = failures + 1: WScript.Echo "FAILED: " & what
End Sub

Dim g, e, x, y, p, r
Set g = CreateObject("Quillmark.Grafic")
Check g.Convert_ColorToHTML(&HFF8000) = "#0080FF", "ColorToHTML &HFF8000"
e = -1
Check g.Convert_ColorToHTML(&H8000000F, e) = "", "ColorToHTML of a system colour"
Check e = 5, "its ErrorNumber is 5, got " & e
Check g.Convert_HTMLtoLong("#FFF") = 4095, "HTMLtoLong #FFF"
Check g.Convert_HTMLtoLong("##12#34#56") = &H563412, "HTMLtoLong ##12#34#56"
Check g.Convert_RGBtoLong(300, 0, 0) = 255, "RGBtoLong 300"
Check g.ComplementarColor(&HFF00FF) = &HFF00&, "ComplementarColor"
Check g.Convert_OLEtoRBG(&H123456) = &H123456, "OLEtoRBG of a plain colour"
r = g.Get_RandomizedColor
Check r >= 0 And r <= &HFFFFFF, "Get_RandomizedColor in range: " & r
x = 22: y = 7
g.TwipsToPixel x, y
Check x = 1 And y = 0, "TwipsToPixel 22, 7 -> " & x & ", " & y
g.PixelToTwips x, y
Check x = 15 And y = 0, "PixelToTwips 1, 0 -> " & x & ", " & y

On Error Resume Next
r = g.Convert_RGBtoLong(-1, 0, 0)
Check Err.Number = 5, "RGBtoLong -1 gives 5, got " & Err.Number
Err.Clear
On Error GoTo 0

Set p = Nothing
Check g.PictureBrightness(p, 256) Is Nothing, "PictureBrightness 256"
Check g.PictureContrast(p, 101) Is Nothing, "PictureContrast 101"
Check g.PictureEmboss(p, 8) Is Nothing, "PictureEmboss 8"
Check g.PictureRotate(p, 361) Is Nothing, "PictureRotate 361"
Check g.PictureZoom(p, -42) Is Nothing, "PictureZoom -42"

If failures = 0 Then WScript.Echo "CLIENT-OK"
WScript.Quit failures
