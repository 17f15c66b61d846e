// Every class by its programmatic identifier from JScript, and the version.
var failures = 0;
function check(ok, what) { if (!ok) { failures++; WScript.Echo("FAILED: " + what); } }

var names = ["DataBase", "Office", "Arry", "Controls", "Dialog", "FTP", "Hardware", "mString",
             "Desktop", "Mathematics", "Forms", "Multimedia", "Misc", "Menu", "INI", "LB_CB", "RTF",
             "Grafic", "Text", "Registry", "Network", "Shell", "Drive", "System", "Directory", "File", "Window"];
var count = 0;
for (var i = 0; i < names.length; i++) {
    try { new ActiveXObject("Quillmark." + names[i]); count++; }
    catch (e) { check(false, "Quillmark." + names[i] + ": " + e.description); }
}
check(count == 27, "27 classes, got " + count);

var misc = new ActiveXObject("Quillmark.Misc");
var v = misc.Verison();
check(typeof v == "string" && v.split(".").length == 3, "Verison: " + v);
try { misc.NoSuchMember(); check(false, "unknown member must fail"); }
catch (e) { check((e.number & 0xFFFF) == 438, "unknown member gives 438, got " + (e.number & 0xFFFF)); }

if (failures == 0) WScript.Echo("CLIENT-OK");
WScript.Quit(failures);
