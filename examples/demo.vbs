' Quillmark demo: what the library answers, class by class.
Option Explicit

Dim misc
Set misc = CreateObject("Quillmark.Misc")
WScript.Echo "Quillmark " & misc.Verison

Dim names, name, count, o
names = Array("DataBase", "Office", "Arry", "Controls", "Dialog", "FTP", "Hardware", "mString", _
              "Desktop", "Mathematics", "Forms", "Multimedia", "Misc", "Menu", "INI", "LB_CB", "RTF", _
              "Grafic", "Text", "Registry", "Network", "Shell", "Drive", "System", "Directory", "File", "Window")
count = 0
For Each name In names

    Set o = CreateObject("Quillmark." & name)
    count = count + 1
Next
WScript.Echo count & " classes can be created."

Dim s, m, a
Set s = CreateObject("Quillmark.mString")
WScript.Echo "SHA-1 of ""abc"": " & s.StringToSHA1("abc")

Set m = CreateObject("Quillmark.Mathematics")
WScript.Echo "255 in hex: " & m.DecToHex(255) & ", 10 in binary: " & m.DecToBin(10) & ", 97 is prime: " & m.isPrime(97)

WScript.Echo "2024 is a leap year: " & misc.IsLeapYear(2024) & ", February 2100 has " & misc.Get_DayOfMonthCount(2, 2100) & " days"
WScript.Echo "3 January 2021 is in week " & misc.Get_WeekOfYear(DateSerial(2021, 1, 3)) & _
             ", ""12.13.2024"" is a date: " & misc.isValidDate("12.13.2024")
WScript.Echo "3725 seconds: " & misc.Time_Format(3725)

a = Array("Quill", "Ink", "Paper", "Desk")
Set o = CreateObject("Quillmark.Arry")
o.Sort a
Dim text, i
For i = LBound(a) To UBound(a)
    If i > LBound(a) Then text = text & ", "
    text = text & a(i)
Next
WScript.Echo "Sorted: " & text & " (highest index " & o.Get_UBound(a) & ")"

Dim sys
Set sys = CreateObject("Quillmark.System")
WScript.Echo "64-bit Windows: " & sys.is64BitWindows & ", Windows version code " & sys.Get_WinVer
