' Quillmark demo: what the library answers, class by class.
Option Explicit

Dim misc
Set misc = CreateObject("Quillmark.Misc")
WScript.Echo "Quillmark " & misc.Verison

Dim names, name, count
names = Array("DataBase", "Office", "Arry", "Controls", "Dialog", "FTP", "Hardware", "mString", _
              "Desktop", "Mathematics", "Forms", "Multimedia", "Misc", "Menu", "INI", "LB_CB", "RTF", _
              "Grafic", "Text", "Registry", "Network", "Shell", "Drive", "System", "Directory", "File", "Window")
count = 0
For Each name In names
    Dim o
    Set o = CreateObject("Quillmark." & name)
    count = count + 1
Next
WScript.Echo count & " classes can be created."
