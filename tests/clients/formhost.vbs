' A script client fills a tree view and a flex grid placed on a form of the form
' host, as a client's own form would hold them, and reads them back.
Option Explicit
Dim failures: failures = 0
Sub Check(ok, what)
    If Not ok Then failures = failures + 1: WScript.Echo "FAILED: " & what
End Sub

Dim host, frm, tree, nodes, grid, i, e
Set host = CreateObject("QuillmarkTest.FormHost")
Set frm = host.NewForm("Host")
Check TypeName(frm) = "Form", "TypeName of the form: " & TypeName(frm)

Set tree = host.AddControl(frm, "TreeView", "Tree1")
Check TypeName(tree) = "TreeView", "TypeName of the tree: " & TypeName(tree)
Set nodes = tree.Nodes
nodes.Add , , "r", "Root"
nodes.Add "r", 4, "c", "Child"
nodes.Add "c", 4, , "Leaf"
nodes.Add "c", 4, , "Another"
Check nodes.Count = 4, "Nodes.Count " & nodes.Count
Check nodes(3).FullPath = "Root\Child\Leaf", "FullPath " & nodes(3).FullPath
Check nodes("c").Parent.Key = "r", "Parent.Key"
Check tree.Nodes(2).Text = "Child", "Nodes(2) through the tree"
nodes("c").Sorted = True
Check nodes(4).Index = 4, "Index"
On Error Resume Next
nodes.Add , , "r", "again"
e = Err.Number
On Error GoTo 0
Check e = 35602, "duplicate key: " & e

Set grid = host.AddControl(frm, "FlexGrid", "Grid1")
grid.Rows = 4
grid.Cols = 3
For i = 1 To 3
    grid.TextMatrix(i, 1) = CStr(10 - i * 3)
    grid.TextMatrix(i, 2) = "r" & i
Next
grid.Row = 1
grid.Col = 1
grid.Sort = 3
Check grid.TextMatrix(1, 1) = "1" And grid.TextMatrix(3, 1) = "7", "numeric sort"
Check grid.TextArray(1 * 3 + 2) = "r3", "TextArray follows the sort"
On Error Resume Next
grid.Row = 9
e = Err.Number
On Error GoTo 0
Check e = 30009, "Row outside the grid: " & e

On Error Resume Next
host.AddControl frm, "NoSuchControl", "X1"
e = Err.Number
On Error GoTo 0
Check e = 711, "unknown control type: " & e

' A record set of the database stand-in bound to a data grid.
Dim rs, dg
Set rs = host.NewRecordset(Array("Name", "Qty"), Array(Array("Apfel", 3), Array("Birne", Null)))
Check rs.Fields.Count = 2 And rs.Fields(0).Name = "Name", "record set fields"
Check rs.Fields("Qty").Value = 3, "first record"
Set dg = host.AddControl(frm, "DataGrid", "Data1")
Set dg.DataSource = rs
Check dg.Columns.Count = 2, "Columns.Count"
Check dg.Columns(1).Caption = "Qty", "Caption"

' A picture box with AutoRedraw refuses sizes beyond the screen's and stays as it was.
Dim pic, w, h, prop
Set pic = host.AddControl(frm, "PictureBox", "Pic1")
pic.AutoRedraw = True
w = pic.Width: h = pic.Height
For Each prop In Array("Width", "Height")
    On Error Resume Next
    If prop = "Width" Then pic.Width = 100000000 Else pic.Height = 100000000
    e = Err.Number
    On Error GoTo 0
    Check e = 380 And pic.Width = w And pic.Height = h, prop & " of 100,000,000 twips: " & e
Next
On Error Resume Next
pic.Cls
e = Err.Number
On Error GoTo 0
Check e = 0, "Cls after the refusals: " & e

host.Unload frm
If failures = 0 Then WScript.Echo "CLIENT-OK"
WScript.Quit failures
