' Members a script reaches only through the dispatcher's help: a by-reference
' record from an Empty variable, a by-reference text written back, a picture
' result, and a script's own object handed to a member that works on it by name.
Option Explicit
Dim failures: failures = 0
Sub Check(ok, what)
    If Not ok Then failures = failures + 1: WScript.Echo "FAILED: " & what
End Sub

Dim sys, running, dti, re
Set sys = CreateObject("Quillmark.System")
running = sys.WindowsIsRunning(dti)
Set re = New RegExp
re.Pattern = "^\d+:\d\d:\d\d:\d$"
Check re.Test(running), "WindowsIsRunning text: " & running
Check VarType(dti) = 36, "the variable holds the filled record, VarType " & VarType(dti)

Dim mail
mail = "A@B.XYZ"
Check Not CreateObject("Quillmark.Network").isValidMail(mail), "isValidMail of an unknown domain"
Check mail = "a@b.xyz", "isValidMail leaves the lower-cased address in the variable: " & mail

Dim pic
Set pic = CreateObject("Quillmark.Window").SnapShot(0)
Check IsObject(pic), "SnapShot gives an object"

Class FakeForm
    Public Left
    Public Top
    Public Width
    Public Height
    Public Refreshed
    Sub Refresh()
        Refreshed = True
    End Sub
End Class
Dim f, rc, where
Set f = New FakeForm
f.Left = 0: f.Top = 0: f.Width = 3000: f.Height = 1500: f.Refreshed = False
where = 2: rc = CreateObject("Quillmark.Forms").Center(f, where)
Check rc = 0, "Center of a script object returns 0, got " & rc
Check f.Left > 0 And f.Top > 0 And f.Refreshed, "Center moved the script object: " & f.Left & "," & f.Top

' A record holding arrays is copied by its description: into a variable, and
' into a procedure's argument.
Function KindOf(r)
    KindOf = VarType(r)
End Function
Dim software, again
software = sys.Get_InstalledSoftware()
again = software
Check VarType(again) = 36, "the copied record, VarType " & VarType(again)
Check KindOf(software) = 36, "the record handed to a procedure"

If failures = 0 Then WScript.Echo "CLIENT-OK"
WScript.Quit failures
