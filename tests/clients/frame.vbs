' Every class by its programmatic identifier, the version, and the errors a
' script sees for calls the library cannot take.
Option Explicit
Dim failures: failures = 0
Sub Check(ok, what)
    If Not ok Then failures = failures + 1: WScript.Echo "FAILED: " & what
End Sub

Dim names, name, o, count
names = Array("DataBase", "Office", "Arry", "Controls", "Dialog", "FTP", "Hardware", "mString", _
              "Desktop", "Mathematics", "Forms", "Multimedia", "Misc", "Menu", "INI", "LB_CB", "RTF", _
              "Grafic", "Text", "Registry", "Network", "Shell", "Drive", "System", "Directory", "File", "Window")
count = 0
For Each name In names
    Set o = Nothing
    On Error Resume Next
    Set o = CreateObject("Quillmark." & name)
    Check Err.Number = 0, "CreateObject Quillmark." & name & ": " & Err.Description
    On Error GoTo 0
    If Not o Is Nothing Then count = count + 1
Next
Check count = 27, "27 classes, got " & count

Dim misc, v
Set misc = CreateObject("Quillmark.Misc")
v = misc.Verison
Check TypeName(v) = "String", "Verison is a String"
Check UBound(Split(v, ".")) = 2, "Verison has three parts: " & v

On Error Resume Next
misc.NoSuchMember
Check Err.Number = 438, "unknown member gives 438, got " & Err.Number
Err.Clear
v = misc.Verison(1)
Check Err.Number = 450, "extra argument gives 450, got " & Err.Number
On Error GoTo 0

If failures = 0 Then WScript.Echo "CLIENT-OK"
WScript.Quit failures
