// Names outside the ANSI code page, as a script writes them: the INI file named
// "k" and a Greek omega is made, not its look-alike "kO.ini".
var failures = 0;
function check(ok, what) { if (!ok) { failures++; WScript.Echo("FAILED: " + what); } }

var fso = new ActiveXObject("Scripting.FileSystemObject");
var ini = new ActiveXObject("Quillmark.INI");
var scratch = new ActiveXObject("WScript.Shell").Environment("PROCESS")("QM_SCRATCH");
if (scratch == "") scratch = "S:\\";
if (scratch.charAt(scratch.length - 1) != "\\") scratch += "\\";
var omega = String.fromCharCode(0x3A9), de = String.fromCharCode(0x30C7);
var path = scratch + "k" + omega + ".ini";
// (The messages name omega in words: the console shows the code page's look-alike.)
check(ini.Write_INI(path, "S", "K", "V"), "Write_INI of k-omega.ini");
check(fso.FileExists(path), "k-omega.ini is made");
check(!fso.FileExists(scratch + "kO.ini"), "kO.ini is not");
check(ini.Read_INI(path, "S", "K") == "V", "Read_INI from k-omega.ini");
check(!ini.Write_INI(path, "S", "K", "V" + de), "a value the code page lacks is refused");
check(ini.Read_INI(path, "S", "K") == "V", "and the entry stays");

if (failures == 0) WScript.Echo("CLIENT-OK");
WScript.Quit(failures);
