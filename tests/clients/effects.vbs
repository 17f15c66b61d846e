' Animations and form effects on a script's own objects and on a form of the
' form host: stepwise moves and rolls, a gradient, transparency of an object
' without a window, and the browser's print command with 16-bit arguments.
Option Explicit
Dim failures: failures = 0
Sub Check(ok, what)
    If Not ok Then failures = failures + 1: WScript.Echo "FAILED: " & what
End Sub

Class Thing
    Public Left
    Public Top
    Public Width
    Public Height
    Public Steps
    Public Command
    Public Options
    Sub Refresh()
        Steps = Steps + 1
    End Sub
    Sub ExecWB(c, o)
        Command = c: Options = o
    End Sub
End Class

Dim frms, ctl, t, speed, rc, x0, x1, dir, e
Set frms = CreateObject("Quillmark.Forms")
Set ctl = CreateObject("Quillmark.Controls")
Set t = New Thing
t.Left = 10: t.Top = 10: t.Width = 0: t.Steps = 0

speed = -1
rc = frms.Move(t, 14, 8, speed)
Check rc = 0 And t.Left = 14 And t.Top = 8, "Move: " & rc & " at " & t.Left & "," & t.Top
Check speed = 1 And t.Steps = 8, "Move: speed " & speed & ", steps " & t.Steps

x0 = 5: x1 = 9: dir = 0: speed = 0
rc = frms.Roll(t, x0, x1, dir, speed)
Check rc = 0 And t.Width = 9, "Roll: " & rc & " width " & t.Width

rc = ctl.WebBrowser_Print(t)
Check rc = 0 And t.Command = 6 And t.Options = 2, "Print: " & rc & " " & t.Command & "," & t.Options
Check VarType(t.Command) = 2, "Print passes 16-bit integers, VarType " & VarType(t.Command)

rc = frms.Get_Transparenz(t, e)
Check rc = -2 And e = 438, "Get_Transparenz without hWnd: " & rc & ", " & e

Dim host, frm
Set host = CreateObject("QuillmarkTest.FormHost")
Set frm = host.NewForm("Host")
rc = frms.Fade(frm, RGB(255, 0, 0), RGB(0, 0, 255))
Check rc = 0, "Fade on a form: " & rc
Check frm.ScaleMode = 1 And Not frm.AutoRedraw, "Fade restores the surface"

If failures = 0 Then WScript.Echo "CLIENT-OK"
WScript.Quit failures

