' Forms restrictions and form state from a script without a form of its own.
Option Explicit
Dim failures: failures = 0
Sub Check(ok, what)
    If Not ok Then failures = failures + 1: WScript.Echo "FAILED: " & what
End Sub

Dim f, n, other, path, scratch
Set f = CreateObject("Quillmark.Forms")
n = 0
Check f.RemoveSystemmenu(n) = -1, "RemoveSystemmenu of no window"
f.MinMaxShow n, False
f.CloseBox_Show n, True
f.TitleBar_Show n, False
f.MinMaxDeaktivat n
Set other = CreateObject("Scripting.Dictionary")
scratch = CreateObject("WScript.Shell").Environment("PROCESS")("QM_SCRATCH")
If scratch = "" Then scratch = "S:\"
If Right(scratch, 1) <> "\" Then scratch = scratch & "\"
path = scratch & "forms restrict.ini"
Check f.Form_Save(other, path) = False, "Form_Save of no form"
Check f.Form_Load(other, path) = False, "Form_Load of no form"
Check CreateObject("Scripting.FileSystemObject").FileExists(path) = False, "Form_Save wrote a file"

If failures = 0 Then WScript.Echo "CLIENT-OK"
WScript.Quit failures
