' The tests' database stand-ins as a script reaches them.
Option Explicit
Dim failures: failures = 0
Sub Check(ok, what)
    If Not ok Then failures = failures + 1: WScript.Echo "FAILED: " & what
End Sub

Dim fso, path, catalog, cn, rs, names
Set fso = CreateObject("Scripting.FileSystemObject")
path = CreateObject("WScript.Shell").Environment("PROCESS")("QM_SCRATCH") & "standins script.mdb"
If fso.FileExists(path) Then fso.DeleteFile path
Set catalog = CreateObject("QuillmarkTest.Catalog")
catalog.Create "Provider=X;Data Source=" & path
Set cn = CreateObject("QuillmarkTest.Connection")
cn.Properties("Data Source") = path
cn.Open
Check cn.State = 1, "open"
cn.Execute "CREATE TABLE t (a TEXT, b INT)"
cn.Execute "INSERT INTO t VALUES ('eins', 1)"
cn.Execute "INSERT INTO t VALUES ('zwei', 2)"
Set rs = CreateObject("QuillmarkTest.Recordset")
rs.Open "SELECT * FROM t ORDER BY b DESC", cn
Check rs.RecordCount = 2, "RecordCount"
Check rs("a") = "zwei" And rs.Fields(1).Value = 2 And rs.Fields("B").Name = "b", "fields"
rs.MoveNext
Check rs.Fields("a") = "eins", "MoveNext"
rs.MoveNext
Check rs.EOF, "EOF"
rs.Close
cn.Close
fso.DeleteFile path
If failures = 0 Then WScript.Echo "CLIENT-OK"
