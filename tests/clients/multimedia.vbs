' Sounds, play times and the module player as a script sees them.
Option Explicit
Dim failures: failures = 0
Sub Check(ok, what)
    If Not ok Then failures = failures + 1: WScript.Echo "FAILED: " & what
End Sub

Dim mm, fso, scratch, wav, txt, f, i, header
Set mm = CreateObject("Quillmark.Multimedia")
Set fso = CreateObject("Scripting.FileSystemObject")
scratch = CreateObject("WScript.Shell").Environment("PROCESS")("QM_SCRATCH")
If scratch = "" Then scratch = "S:\"
If Right(scratch, 1) <> "\" Then scratch = scratch & "\"

' A wave file of 1.5 seconds (8 kHz, 8 bits, mono), written byte by byte.
Function U32(v)
    U32 = Chr(v And 255) & Chr((v \ 256) And 255) & Chr((v \ 65536) And 255) & Chr(v \ 16777216)
End Function
wav = scratch & "script klang.wav"
header = "RIFF" & U32(36 + 12000) & "WAVEfmt " & U32(16) & Chr(1) & Chr(0) & Chr(1) & Chr(0) & U32(8000) & _
         U32(8000) & Chr(1) & Chr(0) & Chr(8) & Chr(0) & "data" & U32(12000)
Set f = fso.CreateTextFile(wav, True)
f.Write header & String(12000, Chr(128))
f.Close
txt = scratch & "script text.wav"
Set f = fso.CreateTextFile(txt, True)
f.WriteLine "nur Text"
f.Close

Check mm.Play_SystemSound(17) = False, "Play_SystemSound(17)"
Check mm.Get_PlayTime(wav) = 2, "Get_PlayTime of 1.5 s: " & mm.Get_PlayTime(wav)
Check mm.Get_PlayTime(scratch & "fehlt.wav") = -1, "Get_PlayTime of a missing file"
Check mm.Get_PlayTime(txt) = 0, "Get_PlayTime of a text file"
Check mm.isFilePlayable(wav), "isFilePlayable of the wave"
Check Not mm.isFilePlayable(txt), "isFilePlayable of a text file"
Check mm.Soundcard_ProductName(99) = "", "Soundcard_ProductName(99)"
Check mm.Soundcard_ProductName() <> "", "Soundcard_ProductName()"

On Error Resume Next
mm.Play_MODfile scratch & "lied.mod", 1
Check Err.Number = 53, "Play_MODfile without the player: " & Err.Number
On Error GoTo 0

If failures = 0 Then WScript.Echo "CLIENT-OK"
WScript.Quit failures
