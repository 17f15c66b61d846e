' Grafic's icons, image list, picture strings and JPEG export, as a script calls them.
Option Explicit
Dim failures: failures = 0
Sub Check(ok, what)
    If Not ok Then failures = failures + 1: WScript.Echo "FAILED: " & what
End Sub

Dim g, fso, folder, scratch, e, p, i, r, s
Set g = CreateObject("Quillmark.Grafic")
Set fso = CreateObject("Scripting.FileSystemObject")
folder = Left(WScript.ScriptFullName, InStrRev(WScript.ScriptFullName, "\clients\"))
scratch = CreateObject("WScript.Shell").Environment("PROCESS")("QM_SCRATCH")

Check g.Get_FileIconCount(folder & "qmicons.dll") = 3, "three icon groups"
e = 99: i = -1
Set p = g.Get_IconFromFile(folder & "qmicons.dll", 1, e)
Check Not p Is Nothing And e = 0, "icon 1 drawn, ErrorNumber " & e
s = g.PictureToString(p)
Check Len(s) = 10 + 101 * 61 * 4 And Mid(s, 9, 2) = Chr(4) & Chr(0), "string of " & Len(s) & " characters"

For r = 0 To 2
    g.vListImage 1, i, p
    Check i = r, "viADD gives " & r & ", got " & i
Next
g.vListImage 5, i
Check i = 3, "viITEMCOUNT gives 3, got " & i
g.vListImage 4, i
g.vListImage 5, i
Check i = 0, "viCLEAR empties the list, got " & i

s = scratch & "script.jpg"
Check g.GraficToJPG(folder & "qmpicture.bmp", s) = 0 And fso.FileExists(s), "GraficToJPG writes " & s
Check g.GraficToJPG(scratch & "none.bmp", s, 75) = 53, "a missing source gives 53"
s = scratch & "no folder\script.jpg"
Check g.GraficToJPG(folder & "qmpicture.bmp", s, 75) = 75 And Not fso.FileExists(s), "a missing folder gives 75"

' Sizes far beyond any screen, with a real icon: refused with an error, and the host lives on.
Dim big, n, t0, x, misc
Set misc = CreateObject("Quillmark.Misc")
Function Attempt(member, picture, size, mode)
    t0 = Timer
    On Error Resume Next
    If member = "PictureToIcon" Then Set x = g.PictureToIcon(picture, size) Else Set x = g.Stretch(picture, size, size, mode)
    Attempt = Err.Number
    On Error GoTo 0
    WScript.Echo member & " " & size & ": error " & Attempt & " after " & FormatNumber(Timer - t0, 2) & " s"
End Function
For Each big In Array(1000000, 10000000, 2147483647, -2147483648)
    Check Attempt("PictureToIcon", p, big, 0) = 380, "PictureToIcon of " & big
    If big > 0 Then Check Attempt("Stretch", p, big, 3) = 380, "Stretch to " & big & " in pixels"
Next
Check Attempt("Stretch", p, 2147483647, 1) = 380, "Stretch to 2147483647 twips"
Check Attempt("PictureToIcon", misc, 2147483647, 0) <> 0, "PictureToIcon of no picture"

If failures = 0 Then WScript.Echo "CLIENT-OK"
WScript.Quit failures
