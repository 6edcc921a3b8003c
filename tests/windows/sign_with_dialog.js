// Signs through velixcom's Signer2 with the authorization dialog, which the
// test driving this script answers: the first signature opens the key (the
// dialog), a second object inside the re-ask interval signs a message and a
// file without one, and after Reset the dialog is cancelled. The signed
// documents go to C:\velix-test\first.txt and second.txt, and the detached
// signature of C:\velix-test\data.bin (made by the test) to data.sig, for the
// test to verify.
// ASCII only; prints a line per step, one per failure and a last line that
// the test requires, and exits with the number of failures.
var failures = 0;

function fail(what) {
  failures++;
  WScript.Echo("FAIL " + what);
}

function expectEqual(actual, expected, what) {
  if (actual !== expected) fail(what + ": got " + actual + ", want " + expected);
}

function save(name, text) {
  var files = new ActiveXObject("Scripting.FileSystemObject");
  var file = files.CreateTextFile("C:\\velix-test\\" + name, true, false);
  file.Write(text);
  file.Close();
}

try {
  var first = new ActiveXObject("velixcom2.Signer2");
  first.Language = "en";
  WScript.Echo("step sign with the dialog");
  var document = first.SignMessage("Pay 10 to ACME, invoice 7");
  expectEqual(first.Error, 0, "Error after the first signature");
  if (document === "") fail("the first signature is empty");
  save("first.txt", document);

  var second = new ActiveXObject("velixcom2.Signer2");
  second.Language = "en";
  WScript.Echo("step sign without a dialog");
  document = second.SignMessage("Pay 11 to ACME, invoice 8");
  expectEqual(second.Error, 0, "Error after the second signature");
  if (document === "") fail("the second signature is empty");
  save("second.txt", document);
  // A file too, with the key already open. The signature is ASCII, so the
  // ANSI text file keeps it byte for byte.
  var signature = second.SignFile("C:\\velix-test\\data.bin");
  expectEqual(second.Error, 0, "Error after the file signature");
  if (signature === "") fail("the file signature is empty");
  else if (/[^\x00-\x7f]/.test(signature)) fail("the file signature is not ASCII");
  save("data.sig", signature);

  // Reset forgets the key: the next signature asks again, and is cancelled.
  second.Reset();
  WScript.Echo("step cancel the dialog");
  expectEqual(first.SignMessage("Pay 12 to ACME"), "", "result of the cancelled signature");
  expectEqual(first.Error, 102, "Error after Cancel");
} catch (e) {
  fail("unexpected error 0x" + (e.number >>> 0).toString(16) + " " + e.description);
}

WScript.Echo("sign_with_dialog.js finished: " + failures + " failures");
WScript.Quit(failures);
