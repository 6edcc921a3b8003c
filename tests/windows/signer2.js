// Drives velixcom's Signer2 from a script, late-bound through the
// registered type library, as web pages and scripts use it. There is no
// display here, so no dialog can open: every operation that needs a key ends
// as a cancel (102), as when the user cancels. (velixcom_dialog_test.sh signs
// with the dialog on a display.)
// ASCII only (non-ASCII text as \u escapes): cscript runs a UTF-16 file as
// a no-op. Prints one line per failure and a last line that the test
// requires, and exits with the number of failures.
var failures = 0;

function fail(what) {
  failures++;
  WScript.Echo("FAIL " + what);
}

function expectEqual(actual, expected, what) {
  if (actual !== expected) fail(what + ": got " + actual + " (" + typeof actual + "), want " + expected);
}

// Runs f, which must throw an automation error with the given HRESULT.
function expectThrows(f, hresult, what) {
  try {
    f();
  } catch (e) {
    if ((e.number >>> 0) !== hresult) fail(what + ": threw 0x" + (e.number >>> 0).toString(16));
    return;
  }
  fail(what + ": did not throw");
}

function repeat(text, count) {
  var out = "";
  for (var i = 0; i < count; i++) out += text;
  return out;
}

var E_NOTIMPL = 0x80004001;
var CANCELLED = 102;

try {
  // Every ProgID creates the current class.
  var signer = new ActiveXObject("velixcom2.Signer2");
  var current = new ActiveXObject("velixcom2.Signer2.2");
  var older = new ActiveXObject("velixcom2.Signer2.1");

  // A new object's own numbers start at 0.
  expectEqual(signer.Customer, 0, "Customer of a new object");
  expectEqual(signer.Operator, 0, "Operator of a new object");
  expectEqual(signer.Error, 0, "Error of a new object");
  expectEqual(signer.useUtf8, false, "useUtf8 in a new process");

  // Customer and Operator: 32-bit numbers, kept per object.
  var numbers = [7, -1, 2147483647, -2147483648];
  for (var i = 0; i < numbers.length; i++) {
    signer.Customer = numbers[i];
    expectEqual(signer.Customer, numbers[i], "Customer " + numbers[i]);
    signer.Operator = numbers[i];
    expectEqual(signer.Operator, numbers[i], "Operator " + numbers[i]);
  }
  expectEqual(current.Customer, 0, "Customer of another object");
  expectEqual(older.Operator, 0, "Operator of another object");
  expectThrows(function () { signer.Customer = 4294967296; }, 0x8002000A, "Customer out of range");

  // Session: one text for the whole process, 254 characters at most. The
  // euro sign is in both ANSI pages the product meets (1251, 1252).
  signer.Session = "S-42 \u20ac";
  expectEqual(current.Session, "S-42 \u20ac", "Session seen by another object");
  var longest = repeat("s", 254);
  signer.Session = longest;
  expectEqual(older.Session, longest, "Session of 254 characters");
  signer.Session = repeat("s", 300);
  expectEqual(signer.Session, "", "Session of 300 characters");

  // Language: exactly "en" is English, anything else Russian.
  var languages = [["en", "en"], ["ru", "ru"], ["EN", "ru"], ["en-US", "ru"], ["", "ru"], ["en", "en"]];
  for (var l = 0; l < languages.length; l++) {
    signer.Language = languages[l][0];
    expectEqual(signer.Language, languages[l][1], "Language after \"" + languages[l][0] + "\"");
  }

  // useUtf8: a VARIANT_BOOL, one setting for the whole process.
  signer.useUtf8 = true;
  expectEqual(current.useUtf8, true, "useUtf8 set (process-wide)");
  signer.useUtf8 = false;
  expectEqual(current.useUtf8, false, "useUtf8 cleared (process-wide)");
  signer.useUtf8 = 3;
  expectEqual(signer.useUtf8, true, "useUtf8 after 3");
  signer.useUtf8 = false;
  expectEqual(signer.useUtf8, false, "useUtf8 cleared");

  // UseScreenKbd: a number kept in the settings.
  var keyboard = signer.UseScreenKbd;
  expectEqual(typeof keyboard, "number", "UseScreenKbd type");
  signer.UseScreenKbd = 0;
  expectEqual(current.UseScreenKbd, 0, "UseScreenKbd 0");
  signer.UseScreenKbd = 1;
  expectEqual(signer.UseScreenKbd, 1, "UseScreenKbd 1");

  // Error can be read, not written; unknown names are refused.
  expectThrows(function () { signer.Error = 5; }, 0x80020003, "writing Error");
  expectThrows(function () { signer.NoSuchMember(); }, 0x800A01B6, "an unknown member");

  // DecryptMessage is not implemented.
  expectThrows(function () { signer.DecryptMessage("text", 0); }, E_NOTIMPL, "DecryptMessage");

  // Without a display, the operations that need a key are cancelled: an
  // empty text, Error 102, and no automation error.
  signer.Language = "en";
  expectEqual(signer.SignMessage("Pay 10 to ACME \u20ac"), "", "SignMessage result");
  expectEqual(signer.Error, CANCELLED, "Error after SignMessage");
  expectEqual(current.Error, 0, "Error of another object after SignMessage");
  expectEqual(signer.GetStatement("01.01.2024", "31.01.2024"), "", "GetStatement result");
  expectEqual(signer.Error, CANCELLED, "Error after GetStatement");
  expectEqual(current.SignFile("C:\\windows\\win.ini"), "", "SignFile result");
  expectEqual(current.Error, CANCELLED, "Error after SignFile");
  older.ChangeUser();
  expectEqual(older.Error, CANCELLED, "Error after ChangeUser");
  signer.EditKeys();
  signer.Reset();
  expectEqual(signer.Error, CANCELLED, "Error kept by Reset");
} catch (e) {
  fail("unexpected error 0x" + (e.number >>> 0).toString(16) + " " + e.description);
}

WScript.Echo("signer2.js finished: " + failures + " failures");
WScript.Quit(failures);
