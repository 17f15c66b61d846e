' The registry, INI files and program starts as a script uses them.
Option Explicit
Dim failures: failures = 0
Sub Check(ok, what)
    If Not ok Then failures = failures + 1: WScript.Echo "FAILED: " & what
End Sub

Const HKCU = &H80000001
Const Base = "Software\QuillmarkTest\registry\script"
Dim reg, ini, sh, scratch, path, v
Set reg = CreateObject("Quillmark.Registry")
Set ini = CreateObject("Quillmark.INI")
Set sh = CreateObject("Quillmark.Shell")

Check reg.KeyCreate(HKCU, Base & "\a\b"), "KeyCreate"
Check reg.KeyExist(HKCU, Base & "\a\b"), "KeyExist"
Check reg.ValueSet(HKCU, Base, "zahl", 42), "ValueSet number"
Check reg.ValueSet(HKCU, Base, "text", "Grüße"), "ValueSet text"
Check Not reg.ValueSet(HKCU, Base, "double", 1.5), "ValueSet of a Double writes nothing"
v = reg.ValueGet(HKCU, Base, "zahl")
Check VarType(v) = vbLong And v = 42, "ValueGet number: " & TypeName(v)
Check reg.ValueGet(HKCU, Base, "text") = "Grüße", "ValueGet text"
Check IsEmpty(reg.ValueGet(HKCU, Base, "double")), "ValueGet missing"
Check reg.FieldDelete(HKCU, Base, "zahl"), "FieldDelete"
Check reg.KeyDelete(HKCU, Base & "\a\b"), "KeyDelete b"
Check reg.KeyDelete(HKCU, Base & "\a"), "KeyDelete a"
Check reg.FieldDelete(HKCU, Base, "text"), "FieldDelete text"
Check reg.KeyDelete(HKCU, Base), "KeyDelete base"
Check Not reg.KeyExist(HKCU, Base), "gone"

scratch = CreateObject("WScript.Shell").Environment("PROCESS")("QM_SCRATCH")
If scratch = "" Then scratch = "S:\"
If Right(scratch, 1) <> "\" Then scratch = scratch & "\"
path = scratch & "script stores.ini"
Check ini.Write_INI(path, "Abschnitt", "Schlüssel", "Zeile 1" & vbCrLf & "Zeile 2", "|"), "Write_INI"
Check ini.Read_INI(path, "Abschnitt", "Schlüssel") = "Zeile 1|Zeile 2", "Read_INI raw"
Check ini.Read_INI(path, "Abschnitt", "Schlüssel", "|") = "Zeile 1" & vbCrLf & "Zeile 2", "Read_INI token"
ini.DeleteKey path, "Abschnitt", "Schlüssel"
Check ini.Read_INI(path, "Abschnitt", "Schlüssel") = "", "DeleteKey"

' Text longer than the system takes is a run-time error the script can handle.
Dim huge: huge = String(100000, "x")
On Error Resume Next
v = ini.Read_INI(huge, "Abschnitt", "Schlüssel")
Check Err.Number = 52, "Read_INI of an over-long path: " & Err.Number
Err.Clear
ini.RemoveSection path, huge
Check Err.Number = 5, "RemoveSection of an over-long section: " & Err.Number
Err.Clear
v = sh.Execute(huge)
Check Err.Number = 52, "Execute of an over-long target: " & Err.Number
On Error GoTo 0

Check Not sh.Execute(scratch & "gibt es nicht.txt"), "Execute of a missing document"
Check sh.ExecuteAndWait(scratch & "fehlt\nichts.exe") = 53, "ExecuteAndWait of a missing program"
Dim title: title = "Kein Fenster 4711"
Check sh.WaitForTask(, title), "WaitForTask without such a window"

If failures = 0 Then WScript.Echo "CLIENT-OK"
WScript.Quit failures
