' Text and File from a script: whole text files, existence, deletion and BinCopy
' with its optional arguments left out or given.
Option Explicit
Dim failures: failures = 0
Sub Check(ok, what)
    If Not ok Then failures = failures + 1: WScript.Echo "FAILED: " & what
End Sub

Dim txt, fil, scratch, dir, p, e, r
Set txt = CreateObject("Quillmark.Text")
Set fil = CreateObject("Quillmark.File")
scratch = CreateObject("WScript.Shell").Environment("PROCESS")("QM_SCRATCH")
If scratch = "" Then scratch = "S:\"
If Right(scratch, 1) <> "\" Then scratch = scratch & "\"
dir = scratch & "script files\"
Dim fso: Set fso = CreateObject("Scripting.FileSystemObject")
If Not fso.FolderExists(dir) Then fso.CreateFolder dir
If Not fso.FolderExists(dir & "x") Then fso.CreateFolder dir & "x"
p = dir & "a.txt"

Check txt.TextFile_WriteText(p, "eins" & vbCrLf & "zwei") = 0, "TextFile_WriteText"
Check txt.TextFile_AddText(p, "drei", 2) = 0, "TextFile_AddText"
Check txt.TextFile_Read(p) = "eins" & vbCrLf & "zwei" & vbCrLf & "drei", "TextFile_Read"
Check txt.TextFile_LineCount(p) = 2, "TextFile_LineCount"
Check txt.TextFile_ReadLine(p, 3) = "drei", "TextFile_ReadLine"
e = 0
Check txt.TextFile_Read(dir & "none.txt", e) = "", "TextFile_Read of a missing file"
Check e = -1, "ErrorNumber -1, got " & e
Check fil.Exist(p), "Exist"
e = 0
Check Not fil.Exist(dir & "none.txt", e), "Exist of a missing file"
Check e = 53, "Exist ErrorNumber 53, got " & e
Check fil.Get_FileLen(p) = 18, "Get_FileLen"
Check fil.BinCopy(p, dir & "x") = 0, "BinCopy"
Check fil.Compare(p, dir & "x\a.txt"), "Compare after BinCopy"
Check fil.BinCopy(p, dir & "x\", True, 255, "Kopieren", 200) = 0, "BinCopy with progress"
Check fil.BinCopy(p, dir) = 75, "BinCopy onto itself"
Check fil.Exist(p), "source kept"
Check fil.Get_FileFromPath(p) = "a.txt", "Get_FileFromPath"
Check fil.Get_DirectoryFromPath(p) = dir, "Get_DirectoryFromPath"
Check fil.fKill(dir & "x\a.txt") = 0, "fKill"
Check fil.fKill(dir & "x\a.txt") = 0, "fKill of a missing file"
Check Not fil.Exist(dir & "x\a.txt"), "deleted"

' Checksums, splitting and joining. (The script host here cannot read typed
' arrays, nor pass a variable to a typed ByRef argument.)
Dim q
Check fil.SFV_Validate(p, fil.SFV_GetSFVFromFile(p)), "SFV_Validate"
Check Len(fil.SFV_GetSFVFromFile(p)) = 8, "SFV_GetSFVFromFile"
q = dir & "big.txt"
Check txt.TextFile_WriteText(q, String(2998, "x")) = 0, "TextFile_WriteText big.txt"
Check fil.Split(q, 1) = 0, "Split"
Check fil.Join(dir & "big.001") = 0, "Join"
Check fil.SFV_Compare(q, dir & "big.out"), "Join rebuilds the file"
Check fil.SFV_CreateSFVfile(Array(p, q), dir & "list.sfv"), "SFV_CreateSFVfile"
Check InStr(txt.TextFile_Read(dir & "list.sfv"), "big.txt " & fil.SFV_GetSFVFromFile(q)) > 0, "checksum line"
Check fil.fKill(p) = 0, "fKill"

If failures = 0 Then WScript.Echo "CLIENT-OK"
WScript.Quit failures
