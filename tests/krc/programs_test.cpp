// Programs in the dialect compiled by krc and run by krrun headless; what they
// log is checked against values worked out by hand.
#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "tests/support/module_runner.h"

namespace {

using krtest::RunOptions;
using krtest::RunResult;
using Lines = std::vector<std::string>;

std::string krc() { return krtest::buildPath("krc"); }

// Compiles and runs a program with tracing and the console debugger.
RunResult runKb(const std::string& source, RunOptions options = RunOptions()) {
  krtest::TempDir dir;
  krtest::writeFile(dir.file("prog.kb"), source);
  options.workDir = dir.path();
  return krtest::runProgram({krc(), "--debug", "--run", dir.file("prog.kb")}, options);
}

Lines logsOf(const std::string& source) {
  RunResult r = runKb(source);
  EXPECT_EQ(r.exitCode, 0) << r.err;
  EXPECT_TRUE(r.errContains("debugInfo: Program has ended") || source.find("\nEnd\n") != std::string::npos) << r.err;
  return r.logs();
}

// The three counters RuntimeStats writes, as "strings objects unreleased".
std::string lastStats(const RunResult& r) {
  std::istringstream in(r.err);
  std::string line, strings = "?", objects = "?", unreleased = "?";
  while (std::getline(in, line)) {
    if (line.rfind("Active strings:", 0) == 0) strings = line.substr(15);
    if (line.rfind("Active objects:", 0) == 0) objects = line.substr(15);
    if (line.rfind("Unreleased Objects:", 0) == 0) unreleased = line.substr(19);
  }
  return strings + " " + objects + " " + unreleased;
}

TEST(KrcPrograms, PrecedenceAndConversions) {
  Lines logs = logsOf(R"(
Const N = 10, QUARTER# = N / 4, NAME$ = "n=" + N
DebugLog 2 + 3 * 4
DebugLog (2 + 3) * 4
DebugLog -2 ^ 2
DebugLog 2 ^ 3 ^ 2
DebugLog 7 / 2 + " " + -7 / 2 + " " + 7 / 2.0
DebugLog -7 Mod 3 + " " + 7.5 Mod 2
DebugLog 1 Shl 4 + 1
DebugLog -16 Sar 2 + " " + -16 Shr 28
DebugLog (3 < 4) + (1 + 1 = 2) + (2 > 1.5) + ("3" = 3)
DebugLog Str(Not 0) + " " + Str(Not 5 = 5)
DebugLog 6 And 3 Or 8
DebugLog (5 Xor 1) + " " + (1 < 2 And 2 < 3)
DebugLog $FF + %101 + " " + ~0
DebugLog "a" + 1 + 2 + " " + (1 + 2 + "a")
i = "42abc" : f# = "2.5" : DebugLog i + " " + f
DebugLog Int(2.6) + " " + Int("12") + " " + Float(7) / 2
DebugLog Abs(-5) + " " + Abs(-2.5) + " " + Sgn(-3) + " " + Sgn(0.5)
DebugLog ("abc" < "abd") + ("b" > "abc") + ("" = "")
DebugLog 0.1 + 0.2
j = 2.5 : k = 3.5 : DebugLog j + " " + k
DebugLog True + True + False
DebugLog Pi
DebugLog 10 - 2 - 3 + " " + 100 / 10 / 5
DebugLog N + " " + QUARTER + " " + NAME$
DebugLog -2147483648 + " " + (2147483647 + 1)
DebugLog 1e3 + 0.5
DebugLog Str(12) + Str(1.5)
)");
  Lines expected = {"14", "20", "4.000000", "64.000000", "3 -3 3.500000", "-1 1.500000", "17", "-4 15", "4",
                    "1 0", "10", "4 1", "260 -1", "a12 3a", "42 2.500000", "3 12 3.500000",
                    "5 2.500000 -1 1.000000", "3", "0.300000", "2 4", "2", "3.141592", "5 2", "10 2.000000 n=10",
                    "-2147483648 -2147483648", "1000.500000", "121.500000"};
  EXPECT_EQ(logs, expected);
}

TEST(KrcPrograms, EveryStatementForm) {
  Lines logs = logsOf(R"(
x = 2
If x = 2 Then DebugLog "one-line then" Else DebugLog "wrong"
If x = 3 Then DebugLog "wrong" Else DebugLog "one-line else"
If x > 5
  DebugLog "wrong"
ElseIf x > 1
  DebugLog "elseif"
Else
  DebugLog "wrong"
EndIf
If x < 0 Then
  DebugLog "wrong"
Else If x = 2
  DebugLog "else if"
End If
For i = 1 To 10 Step 4 : DebugLog "for " + i : Next
For k = 3 To 1 Step -1 : s$ = s$ + k : Next k
DebugLog "down " + s$
For f# = 0 To 1 Step 0.5 : DebugLog f : Next
For i = 5 To 1 : DebugLog "never" : Next
For i = 2147483646 To 2147483647 : DebugLog "top " + i : Next
For i = -2147483647 To -2147483648 Step -1 : DebugLog "bottom " + i : Next
n = 0
While n < 3 : n = n + 1 : Wend
DebugLog "while " + n
Repeat : n = n - 1 : Until n = 0
DebugLog "repeat " + n
Repeat
  n = n + 1
  If n = 4 Then Exit
Forever
DebugLog "forever " + n
For i = 1 To 100
  While True
    Exit
  Wend
  If i = 3 Then Exit
Next
DebugLog "exit " + i
For v = 1 To 5
  Select v
    Case 1 : DebugLog "case one"
    Case 2, 3
      DebugLog "case two or three"
    Default
      DebugLog "default " + v
  End Select
Next
Select True
  Case v < 3 : DebugLog "wrong"
  Case v > 5 : DebugLog "select true"
End Select
name$ = "bob"
Select name$
  Case "al" : DebugLog "wrong"
  Case "b" + "ob" : DebugLog "select string"
End Select
Select 2.5
  Case 2 : DebugLog "wrong"
  Case 2.5 : DebugLog "select float"
End Select
c = 0
.again
c = c + 1
If c < 3 Then Goto again
DebugLog "goto " + c
Gosub twice
Gosub twice
DebugLog "gosub " + c
Goto done
.twice
c = c * 2
Return
.done
DebugLog "done"
End
DebugLog "after end"
)");
  Lines expected = {"one-line then", "one-line else", "elseif", "else if", "for 1", "for 5", "for 9", "down 321",
                    "0.000000", "0.500000", "1.000000", "top 2147483646", "top 2147483647",
                    "bottom -2147483647", "bottom -2147483648", "while 3", "repeat 0", "forever 4", "exit 3", "case one",
                    "case two or three", "case two or three", "default 4", "default 5", "select true",
                    "select string", "select float", "goto 3", "gosub 12", "done"};
  EXPECT_EQ(logs, expected);
}

TEST(KrcPrograms, FunctionsRecursionAndGosub) {
  Lines logs = logsOf(R"(
Global calls
Function depth(n)
  calls = calls + 1
  If n = 0 Then Return 0
  Return 1 + depth(n - 1)
End Function
DebugLog depth(10000) + " calls " + calls

Function fib(n)
  If n < 2 Then Return n
  Return fib(n - 1) + fib(n - 2)
End Function
DebugLog "fib " + fib(20)

Function scale#(a#, b = 2, tag$ = "x")
  DebugLog tag$ + b
  Return a * b
End Function
DebugLog scale(1.25)
DebugLog scale(1.25, 4, "y")

Function marks$(n)
  Local s$ = "<"
  For i = 1 To n
    Gosub addMark
  Next
  Return s$ + ">"
.addMark
  s$ = s$ + "*"
  Return
End Function
DebugLog marks(3)

Function noResult()
End Function
Function noText$()
  Return
End Function
DebugLog "defaults " + noResult() + "[" + noText() + "]"

Function early(n)
  For i = 1 To 10
    If i = n Then Return i * 100
  Next
  Return -1
End Function
DebugLog early(3) + " " + early(20)
noResult
early 2
)");
  Lines expected = {"10000 calls 10001", "fib 6765", "x2", "2.500000", "y4", "5.000000", "<***>", "defaults 0[]",
                    "300 -1"};
  EXPECT_EQ(logs, expected);
}

TEST(KrcPrograms, BusyIntegerLocalsSurviveCallsRecursionAndGosub) {
  // The busiest integer locals of a function are kept in registers: each must
  // keep its value across calls of commands and of functions that use the same
  // registers, across recursion and Gosub, and start at 0 like any local.
  Lines logs = logsOf(R"(
Global calls
Function Mix(n)
  a = 0 : b = 0 : c = 0 : d = 0
  For i = 1 To n
    For j = 1 To 3
      a = a + i * j : b = b Xor (a Shl 1) : c = c + Inner(j) : d = d + Len(Str(j))
    Next
  Next
  Return a + b + c + d + i + j
End Function
Function Inner(k)
  calls = calls + 1
  s = 0
  For m = 1 To k
    s = s + m
  Next
  Return s + m
End Function
Function Fresh()
  If untouched <> 0 Then Return -1
  For z = 1 To 2 : untouched = untouched + z : Next
  Return untouched
End Function
Function Depth(n)
  Local here = n * 2
  If n > 0 Then here = here + Depth(n - 1) - n * 2
  Return here
End Function
Function WithGosub(n)
  t = 0
  For q = 1 To n
    Gosub bump
  Next
  Return t
.bump
  t = t + q * 10
  Return
End Function
Function NotAllIntegers()
  f# = 0.5 : s$ = "x"
  For k = 1 To 4 : f = f * 2 : s = s + k : Next
  Return f + Len(s)
End Function
DebugLog Mix(4) + " " + calls
DebugLog Fresh() + " " + Fresh()
DebugLog Depth(500)
DebugLog WithGosub(4)
DebugLog NotAllIntegers()
)");
  // Mix(4): a = 6 * (1+2+3+4) = 60; b is a's running Xor-fold; c = 4 * (2+4+7) =
  // 52 (Inner(k) = k(k+1)/2 + k+1); d = 12; i and j end at 5 and 4.
  int a = 0, b = 0, c = 0, d = 0;
  for (int i = 1; i <= 4; ++i)
    for (int j = 1; j <= 3; ++j) a += i * j, b ^= a << 1, c += j * (j + 1) / 2 + j + 1, d += 1;
  EXPECT_EQ(logs, (Lines{std::to_string(a + b + c + d + 5 + 4) + " 12", "3 3", "0", "100", "13"}));
}

TEST(KrcPrograms, ScopesOfGlobalsLocalsAndTheMainProgram) {
  Lines logs = logsOf(R"(
Global shared = 1, label$ = "g"
mainOnly = 5
Function peek$()
  ; mainOnly is this function's own local here, 0 on every call
  mainOnly = mainOnly + 1
  shared = shared + 10
  Local label$ = "local"
  Return mainOnly + " " + shared + " " + label$
End Function
DebugLog peek()
DebugLog peek()
DebugLog mainOnly + " " + shared + " " + label$
Function counter()
  Local n
  n = n + 1
  Return n
End Function
DebugLog counter() + counter()
Function shadow(shared)
  shared = shared * 2
  Return shared
End Function
DebugLog shadow(4) + " " + shared
)");
  EXPECT_EQ(logs, (Lines{"1 11 local", "1 21 local", "5 21 g", "2", "8 21"}));
}

TEST(KrcPrograms, TheCallStackOfAnErrorDeepInRecursion) {
  RunResult r = runKb(R"(
Function down(n)
  If n = 0 Then Return 1 / n
  Return down(n - 1)
End Function
Function start()
  Return down(30)
End Function
x = start()
)");
  EXPECT_TRUE(r.errContains("debugError: Integer divide by zero (")) << r.err;
  EXPECT_TRUE(r.errContains("prog.kb:3)\n")) << r.err;
  // Innermost first, at most 20 frames, then how many more.
  EXPECT_TRUE(r.errContains("debugStack: down called at ")) << r.err;
  EXPECT_TRUE(r.errContains("debugStack: ... 12 more")) << r.err;
  std::size_t first = r.err.find("debugStack: down called at ");
  ASSERT_NE(first, std::string::npos);
  EXPECT_NE(r.err.find("prog.kb:4\n", first), std::string::npos) << r.err;
}

TEST(KrcPrograms, TypesAndObjectLists) {
  RunResult r = runKb(R"(
Type Point
  Field x, y#, name$
  Field link.Point
  Field cells[3]
End Type
p.Point = New Point
p\x = 3 : p\y = 1.5 : p\name = "hi" : p\cells[2] = 7
DebugLog Str(p)
p\link = p
DebugLog "self " + p
p\link = Null
For i = 1 To 5
  q.Point = New Point
  q\x = i
Next
; deletion during the walk: the current object and one ahead of it
For q.Point = Each Point
  If q\x = 3 Then Delete After q
  If q\x = 2 Then Delete q
Next
s$ = ""
For q.Point = Each Point : s$ = s$ + q\x + "," : Next
DebugLog "left " + s$
DebugLog "first " + First(Point)\x + " last " + (Last Point)\x + " after " + After(First Point)\x
DebugLog "before " + Before(Last Point)\x + " " + (Before First Point = Null)
p\x = 9
Insert First Point After Last Point
Insert Last Point Before After(First Point)
s$ = ""
For q.Point = Each Point : s$ = s$ + q\x + "," : Next
DebugLog "reordered " + s$
h = Handle(p)
o.Point = Object.Point(h)
DebugLog "handle " + (h <> 0) + (o = p) + " " + Object.Point(12345) + " " + Object.Point(0)
Delete p
DebugLog "deleted " + (p = Null) + " " + Handle(p) + " " + (Object.Point(h) = Null)
Function makeChain.Point(n)
  Local head.Point, t.Point
  For i = 1 To n
    t = New Point
    t\x = i
    t\link = head
    head = t
  Next
  Return head
End Function
c.Point = makeChain(3)
DebugLog "chain " + c\x + c\link\x + c\link\link\x
Delete Each Point
DebugLog "none " + (First Point = Null)
p = Null : q = Null : o = Null : c = Null : s$ = ""
RuntimeStats
)");
  ASSERT_EQ(r.exitCode, 0) << r.err;
  Lines expected = {"[3,1.500000,\"hi\",[NULL],0,0,7,0]",
                    "self [3,1.500000,\"hi\",[ROOT],0,0,7,0]",
                    "left 3,3,5,",
                    "first 3 last 5 after 3",
                    "before 3 1",
                    "reordered 3,9,5,",
                    "handle 11 [NULL] [NULL]",
                    "deleted 1 0 1",
                    "chain 321",
                    "none 1"};
  EXPECT_EQ(r.logs(), expected);
  EXPECT_EQ(lastStats(r), "1 0 0") << r.err;  // s$ holds one (empty) string
}

TEST(KrcPrograms, CommandsWithAndWithoutOptionalParameters) {
  Lines logs = logsOf(R"(
DebugLog Mid("hello", 2) + "|" + Mid("hello", 2, 2)
DebugLog Instr("abcabc", "c") + " " + Instr("abcabc", "c", 4)
Graphics 64, 48
Color 255, 0, 0
Rect 1, 1, 10, 10
Rect 20, 1, 10, 10, False
DebugLog (ReadPixel(5, 5) And $FFFFFF) + " " + (ReadPixel(25, 5) And $FFFFFF) + " " + (ReadPixel(20, 5, FrontBuffer()) And $FFFFFF)
Flip : Flip 0 : VWait : VWait 1
DebugLog "flipped"
)");
  EXPECT_EQ(logs, (Lines{"ello|el", "3 6", "16711680 0 16711680", "flipped"}));
}

TEST(KrcPrograms, SuffixedCommandNamesAndNullDefaults) {
  Lines logs = logsOf(R"(
Type T
Field v
End Type
Function show$(o.T = Null)
  If o = Null Then Return "none"
  Return "v" + o\v
End Function
t.T = New T : t\v = 4
DebugLog show() + " " + show(t) + " " + Mid$("hello", 2) + Chr$(65) + Upper$("x")
DebugLog Str$(5) + Left$("abc", 2) + MilliSecs() * 0
)");
  EXPECT_EQ(logs, (Lines{"none v4 elloAX", "5ab0"}));
}

TEST(KrcPrograms, ObjectErrorsAndNullChecks) {
  RunResult r = runKb("Type T\nField a\nEnd Type\nt.T = New T\nDelete t\nDebugLog \"before\"\nDebugLog t\\a\n");
  EXPECT_EQ(r.logs(), Lines{"before"});
  EXPECT_TRUE(r.errContains("debugError: Object does not exist (")) << r.err;
  EXPECT_TRUE(r.errContains("prog.kb:7)")) << r.err;
}

TEST(KrcPrograms, ArraysRedimensioned) {
  RunResult r = runKb(R"(
Dim grid(3, 2), names$(2), pts#(1)
For x = 0 To 3 : For y = 0 To 2 : grid(x, y) = x * 10 + y : Next : Next
DebugLog grid(3, 2) + " " + grid(0, 1) + " " + grid(2, 0)
names(0) = "a" : names(1) = "b" : names(2) = "c"
pts(1) = 2.5
DebugLog names(0) + names(2) + pts(1)
RuntimeStats
Dim names$(5)
DebugLog "[" + names(1) + "]"
RuntimeStats
Dim grid(1, 1)
DebugLog grid(1, 1)
Dim cube(1, 2, 3)
cube(1, 2, 3) = 99 : cube(0, 0, 0) = 1
DebugLog cube(1, 2, 3) + cube(0, 0, 0)
Dim empty(-1)
Function fill(n)
  Dim filled(n)
  filled(n) = n
  Return filled(n)
End Function
DebugLog fill(4) + " " + filled(4)
grid(2, 0) = 1
)");
  Lines expected = {"32 1 20", "ac2.500000", "[]", "0", "100", "4 4"};
  EXPECT_EQ(r.logs(), expected) << r.err;
  // Re-dimensioning released the three strings.
  EXPECT_TRUE(r.errContains("Active strings:3\n")) << r.err;
  EXPECT_TRUE(r.errContains("Active strings:0\n")) << r.err;
  EXPECT_TRUE(r.errContains("debugError: Array index out of bounds (")) << r.err;
  EXPECT_TRUE(r.errContains("prog.kb:24)")) << r.err;
}

TEST(KrcPrograms, EachIndexIsCheckedAgainstItsOwnDimension) {
  // (0, 3) would fall inside the storage of a 4 x 3 array; it must still fail.
  RunResult r = runKb("Dim a(3, 2)\nDebugLog a(3, 2)\nDebugLog a(0, 3)\n");
  EXPECT_EQ(r.logs(), Lines{"0"});
  EXPECT_TRUE(r.errContains("debugError: Array index out of bounds")) << r.err;
  RunResult negative = runKb("Dim a(5)\nDebugLog a(-1)\n");
  EXPECT_TRUE(negative.errContains("debugError: Array index out of bounds")) << negative.err;
  RunResult undimensioned = runKb("If False Then Dim a(5)\nDebugLog a(0)\n");
  EXPECT_TRUE(undimensioned.errContains("debugError: Array index out of bounds")) << undimensioned.err;
}

TEST(KrcPrograms, ElementsIndexedByRegisterLocalsAndUpdatedInPlace) {
  // In a function the counters live in registers and a(i) = a(i) OP x updates
  // the element in place: the result, the other operators, a right side that
  // reads the same array, and the bounds check must all hold.
  RunResult r = runKb(R"(
Dim a(4), f#(4), s$(4)
Function Fill()
  For i = 0 To 4
    a(i) = a(i) + i * 3 : a(i) = a(i) - 1 : a(i) = a(i) Xor 1
    f(i) = f(i) + i / 2.0 : s(i) = s(i) + i
  Next
  For i = 1 To 4
    a(i) = a(i) + a(i - 1)
  Next
  a(2) = a(2) Or 64 : a(2) = a(2) And 127
  Return a(4)
End Function
Function Twice()
  For k = 0 To 4 : a(k) = a(k) + k : Next
End Function
Function Overrun(n)
  For i = 0 To n
    a(i) = a(i) + 1
  Next
End Function
DebugLog Fill() + " " + a(0) + " " + a(1) + " " + a(2) + " " + f(3) + " " + s(1) + s(4)
Twice
DebugLog a(3)
Overrun 4
DebugLog a(4)
Overrun 5
DebugLog "not reached"
)");
  // After the first loop a(i) = (3i - 1) Xor 1: -2, 3, 4, 9, 10; running sums
  // -2, 1, 5, 14, 24; then a(2) = 5 Or 64 And 127 = 69; Twice adds k to a(k)
  // and Overrun 1 to each.
  EXPECT_EQ(r.logs(), (Lines{"24 -2 1 69 1.500000 14", "17", "29"}));
  EXPECT_TRUE(r.errContains("debugError: Array index out of bounds (")) << r.err;
}

TEST(KrcPrograms, DataReadRestore) {
  Lines logs = logsOf(R"(
Data 5, 1.5, "12abc"
.second
Data -7, "word", -2.5
Read a, b#, c$
DebugLog a + " " + b + " " + c$
Read x$, y$, z
DebugLog x$ + y$ + z
Restore second
Read n
DebugLog n
Restore
Read p$, q$, r
DebugLog p$ + "|" + q$ + "|" + r
Dim vals(2)
Type Box
  Field v#
End Type
bx.Box = New Box
Restore second
Read vals(0), bx\v
DebugLog vals(0) + " " + bx\v
)");
  Lines expected = {"5 1.500000 12abc", "-7word-2", "-7", "5|1.500000|12", "-7 0.000000"};
  EXPECT_EQ(logs, expected);
  RunResult r = runKb("Data 1\nRead a, b\n");
  EXPECT_TRUE(r.errContains("debugError: Out of data (")) << r.err;
}

TEST(KrcPrograms, StringsAndObjectsLeaveNothingLive) {
  RunResult r = runKb(R"(
Type Item
  Field label$
End Type
Function tag$(s$, n)
  Local t$ = s$ + n
  Return Left(t$, 3)
End Function
total = 0
For i = 1 To 1000000
  s$ = "item" + i
  s$ = s$ + tag(s$, i) + Mid(s$, 2, 3)
  If s$ = "never" Then total = total + 1
  total = total + Len(Str(i))
Next
DebugLog total
For i = 1 To 1000
  it.Item = New Item
  it\label = "x" + i
  If i Mod 2 = 0 Then Delete it
Next
For it.Item = Each Item
  s$ = it\label
Next
Delete Each Item
it = Null
s$ = ""
Select "a" + 1
  Case "a1" : s$ = ""
End Select
s$ = Null + ""
RuntimeStats
)",
                      [] {
                        RunOptions o;
                        o.timeoutMs = 60000;
                        return o;
                      }());
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(r.logs(), Lines{"5888896"});
  EXPECT_EQ(lastStats(r), "1 0 0") << r.err;  // only s$ itself
}

TEST(KrcPrograms, StopAndErrorsNameTheLine) {
  RunOptions options;
  options.stdinText = "\n";
  RunResult r = runKb("DebugLog \"a\"\nStop\nDebugLog \"b\"\nFunction boom(n)\n  Return 10 / n\nEnd Function\nx = boom(0)\n",
                      options);
  EXPECT_TRUE(r.errContains("debugStop: stopped (")) << r.err;
  EXPECT_TRUE(r.errContains("prog.kb:2), press Enter")) << r.err;
  EXPECT_EQ(r.logs(), (Lines{"a", "b"}));
  EXPECT_TRUE(r.errContains("debugError: Integer divide by zero (")) << r.err;
  EXPECT_TRUE(r.errContains("prog.kb:5)")) << r.err;
  EXPECT_TRUE(r.errContains("debugStack: boom called at ")) << r.err;
}

TEST(KrcTool, TracedModuleRunPlainlyShowsTheLineInItsErrorBox) {
  krtest::TempDir dir;
  krtest::writeFile(dir.file("game.kb"), "Dim a(3)\n\na(4) = 1\n");
  ASSERT_EQ(krtest::runProgram({krc(), "--debug", dir.file("game.kb"), "-o", dir.file("game.krm")}).exitCode, 0);
  RunResult r = krtest::runProgram({krtest::buildPath("krrun"), dir.file("game.krm")});
  EXPECT_TRUE(r.errContains("Error!: Array index out of bounds (" + dir.file("game.kb") + ":3)")) << r.err;
  // Untraced, the same program reports the error alone.
  ASSERT_EQ(krtest::runProgram({krc(), dir.file("game.kb"), "-o", dir.file("plain.krm")}).exitCode, 0);
  RunResult plain = krtest::runProgram({krtest::buildPath("krrun"), dir.file("plain.krm")});
  EXPECT_TRUE(plain.errContains("Error!: Array index out of bounds\n")) << plain.err;
}

TEST(KrcTool, ModulePackedGameAndInclude) {
  krtest::TempDir dir;
  krtest::writeFile(dir.file("lib.kb"), "Function twice(n)\n  Return n * 2\nEnd Function\nInclude \"lib.kb\"\n");
  krtest::writeFile(dir.file("game.kb"), "Include \"lib.kb\"\nDebugLog \"twice \" + twice(21)\n");
  RunResult compiled = krtest::runProgram({krc(), dir.file("game.kb"), "-o", dir.file("game.krm")});
  ASSERT_EQ(compiled.exitCode, 0) << compiled.err;
  RunOptions options;
  options.workDir = dir.path();
  RunResult ran = krtest::runProgram({krtest::buildPath("krrun"), "--debug", dir.file("game.krm")}, options);
  EXPECT_EQ(ran.logs(), Lines{"twice 42"}) << ran.err;

  RunResult packed = krtest::runProgram({krc(), dir.file("game.kb"), "-o", dir.file("game"), "--pack"});
  ASSERT_EQ(packed.exitCode, 0) << packed.err;
  RunResult game = krtest::runProgram({dir.file("game"), "--debug"}, options);
  EXPECT_EQ(game.logs(), Lines{"twice 42"}) << game.err;

  krtest::writeFile(dir.file("bad.kb"), "x = 1\ny = (2 +\nFor i = 1 To\n");
  RunResult bad = krtest::runProgram({krc(), dir.file("bad.kb")});
  EXPECT_EQ(bad.exitCode, 1);
  EXPECT_TRUE(bad.errContains(dir.file("bad.kb") + ":2:9: ")) << bad.err;
  EXPECT_TRUE(bad.errContains(dir.file("bad.kb") + ":3:13: ")) << bad.err;
}

}  // namespace

namespace {

// The examples are compiled at build time; each runs to its end.
TEST(KrcExamples, RunToTheEnd) {
  const std::pair<const char*, const char*> examples[] = {
      {"kb_hello", "Hello, again! Hello, again!"},
      {"kb_particles", "all gone after 60 steps"},
      {"kb_tables", "winner: Dot"},
      {"kb_bounce", "ball ended at 54,16"},
  };
  for (const auto& e : examples) {
    RunResult r = krtest::runModule(e.first);
    EXPECT_EQ(r.exitCode, 0) << e.first << r.err;
    EXPECT_TRUE(r.errContains(std::string("debugLog: ") + e.second)) << e.first << r.err;
    EXPECT_TRUE(r.errContains("debugInfo: Program has ended")) << e.first << r.err;
  }
}

}  // namespace
