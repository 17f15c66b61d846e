' DataBase as a script uses it, over the tests' stand-in objects.
Option Explicit
Dim failures: failures = 0
Sub Check(ok, what)
    If Not ok Then failures = failures + 1: WScript.Echo "FAILED: " & what
End Sub

Dim fso, path, db, cn, rs, e
Set fso = CreateObject("Scripting.FileSystemObject")
path = CreateObject("WScript.Shell").Environment("PROCESS")("QM_SCRATCH") & "database script.mdb"
If fso.FileExists(path) Then fso.DeleteFile path
CreateObject("QuillmarkTest.Catalog").Create "Data Source=" & path
Set db = CreateObject("Quillmark.DataBase")
Set cn = CreateObject("QuillmarkTest.Connection")
Set rs = CreateObject("QuillmarkTest.Recordset")
Check db.OpenDatabase(cn, path) = 0, "OpenDatabase"
Check db.TableCreate(cn, "kunden (name TEXT, nr INT)") = 0, "TableCreate"
cn.Execute "INSERT INTO kunden VALUES ('Meier', 7)"
Check db.TableExist(cn, "KUNDEN") And db.TableCount(cn) = 1, "TableExist, TableCount"
Check db.SelectTable(cn, rs, "kunden") = 0, "SelectTable"
Check db.Find(rs, "name", "meier") And rs("nr") = 7, "Find"
Check Not db.Find(rs, "name", "O'Neil", e) And e = 3001, "Find with a quote: " & e
Check db.Exist(rs, "Meier", "name") And db.ColumnExist(rs, "NR") And Not db.isEMPTY(rs), "Exist, ColumnExist, isEMPTY"
rs.Close
Check db.CloseDataBase(cn) = 0 And cn Is Nothing, "CloseDataBase"
fso.DeleteFile path
If failures = 0 Then WScript.Echo "CLIENT-OK"
