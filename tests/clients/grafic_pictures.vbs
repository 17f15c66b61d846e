' Grafic's icons, image list, picture strings and JPEG export, as a script calls them.
Option Explicit
Dim failures: failures = 0
Sub Check(ok, what)
    If Not ok Then failures = failures + 1: WScript.Echo "FAILED: " & what
End Sub

Dim g, folder, scratch, e, p, q, i, s, r
Set g = CreateObject("Quillmark.Grafic")
folder = Left(WScript.ScriptFullName, InStrRev(WScript.ScriptFullName, "\clients\"))
scratch = CreateObject("WScript.Shell").Environment("PROCESS")("QM_SCRATCH")

Check g.Get_FileIconCount(folder & "qmicons.dll") = 3, "three icon groups"
e = 99
Set p = g.Get_IconFromFile(folder & "qmicons.dll", 1, e)
Check Not p Is Nothing And e = 0, "icon 1 drawn, ErrorNumber " & e
Check g.Get_IconFromFile(scratch & "none.ico", 0, e) Is Nothing And e = -2, "a missing file gives -2, got " & e

s = g.PictureToString(p)
Check Len(s) = 10 + 101 * 61 * 4, "string length " & Len(s)
Check Mid(s, 9, 2) = Chr(4) & Chr(0), "four bytes per pixel"
Check g.PictureCompare(p, p), "a picture equals itself"

' The image list: indices from 0, the count, a stretched picture back in the variable.
For r = 0 To 2
    i = -1
    g.vListImage 1, i, p
    Check i = r, "viADD gives " & r & ", got " & i
Next
Set q = p
i = -1
g.vListImage 1, i, q, 540
Check i = 3, "a fourth image"
Check Len(g.PictureToString(q)) = 10 + 32 * 32 * 4, "the variable holds a 32 x 32 picture"
i = -1
g.vListImage 5, i
Check i = 4, "viITEMCOUNT gives 4, got " & i
On Error Resume Next
i = 7
g.vListImage 3, i
Check Err.Number = 340, "viDELETE 7 gives 340, got " & Err.Number
Err.Clear
On Error GoTo 0
g.vListImage 4, i
i = -1
g.vListImage 5, i
Check i = 0, "viCLEAR empties the list, got " & i

' JPEG export: 0 for a written file, 53 for a missing source, 75 for a missing folder.
Dim fso: Set fso = CreateObject("Scripting.FileSystemObject")
s = scratch & "script.jpg"
Check g.GraficToJPG(folder & "qmpicture.bmp", s) = 0 And fso.FileExists(s), "GraficToJPG writes " & s
Check g.GraficToJPG(scratch & "none.bmp", s, 75) = 53, "a missing source gives 53"
s = scratch & "no folder\script.jpg"
Check g.GraficToJPG(folder & "qmpicture.bmp", s, 75) = 75 And Not fso.FileExists(s), "a missing folder gives 75"

If failures = 0 Then WScript.Echo "CLIENT-OK"
WScript.Quit failures
