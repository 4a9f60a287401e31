// Writes packages shaped like the applications people keep: an icon, a form
// of nested views whose frames share maps, strings and symbols, and many
// NewtonScript functions of the kinds compilers make (sends, paths, if and
// else, loops, foreach, try, frames and arrays built at run time), with what
// real packages share: a native module that dozens of functions call,
// literal frames and arrays that several functions push, closures; and
// QuickDraw pictures, a few hundred KB of them in every tenth package.
//
//   package_generator DIR COUNT [FUNCTIONS]
//
// writes DIR/p0.pkg ... each with about FUNCTIONS functions (80 by default,
// near the average of real packages).

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "tests/function_builder.h"

namespace {

// Function bodies; N stands for a number that varies the names.
const char* const kTemplates[] = {
    R"(push-self; push 'valueN; get-path 1; branch-if-false L1
       push "Value N"; push-self; push 'SetValueN; send 1; branch L2
   L1: push-constant nil
   L2: return)",
    R"(get-var 3; push-constant nil; freq-func new-iterator; set-var 5; branch TEST
 TOP: get-var 5; push-constant 1; freq-func aref; set-var 4
      get-var 4; push 'nameN; get-path 1; push-self; push 'AddItemN; send 1; pop
      get-var 5; iter-next
TEST: get-var 5; iter-done; branch-if-false TOP
      push-constant nil; push-constant nil; set-var 5; pop
      push-self; push 'itemsN; get-path 1; freq-func length; return)",
    R"(push-constant 0; set-var 4; get-var 3; set-var 5; push-constant 1; set-var 6
       get-var 6; get-var 4; branch TEST
  TOP: get-var 4; find-var 'soupN; push 'GetEntryN; send 1; pop
       get-var 6; incr-var 4
 TEST: get-var 5; branch-if-loop-not-done TOP
       push-constant nil; return)",
    R"(get-var 3; push-constant 4; push map:left,top; make-frame 2; set-var 4
       get-var 4; push 'top; get-path 1; push-constant 20; freq-func greater-than
       branch-if-false L1; get-var 4; push "too low: N"; push 'Array; make-array 2; return; pop
   L1: push 'GetRoot; call 0; push 'notifyN; get-path 1; push-self; push 'CloseN; send 1; return)",
    R"(push 'evt.ex; push-constant pc:H; new-handlers 1
       get-var 3; push "entryN"; push 'StrConcat; call 2; push 'PrintN; call 1; pop
       pop-handlers; branch END
    H: push 'CurrentException; call 0; push 'message; get-path 1; push 'Print; call 1; pop
       pop-handlers
  END: push-self; push 'viewN; get-var 3; set-path 0; push-constant true; return)",
    R"(get-var 3; push-self; push 'countN; get-path 1; freq-func add; push-constant 2; freq-func multiply
       find-and-set-var 'totalN; find-var 'totalN; push-constant 100; freq-func less-than
       branch-if-false L1; push-self; push 'RedrawN; send-if-defined 0; branch L2
   L1: push 'RedoN; resend-if-defined 0
   L2: return)",
    // What functions share: the native module, a literal frame and array,
    // and a closure over an argument.
    R"(get-var 3; push-constant N; push fn:module; invoke 2; pop
       push fn:settings; push 'modeN; get-path 1; push fn:labels; push-constant 1; freq-func aref
       push 'Array; make-array 2; return)",
    R"(push fn:labels; push fn:inner; set-lex-scope; push 'MapN; call 2; set-var 4
       get-var 4; push fn:module; invoke 1; return)",
};

// A version 1 QuickDraw picture: one bitmap of `width` x `height` at a bit a
// pixel, its rows as they are, as drawn pages are.
std::string Drawing(int width, int height, int seed) {
  std::string bytes;
  auto word = [&](int value) { bytes += {static_cast<char>(value >> 8), static_cast<char>(value)}; };
  for (int value : {0, 0, 0, height, width}) word(value);
  bytes += "\x11\x01\x90";  // version 1, BitsRect
  int rowBytes = (width + 15) / 16 * 2;
  for (int value : {rowBytes, 0, 0, height, width, 0, 0, height, width, 0, 0, height, width, 0}) word(value);
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < rowBytes; ++x) bytes += static_cast<char>((x * 7 + y * 3 + seed) % 251 < 40 ? 0xFF : x ^ y);
  }
  bytes += '\xFF';
  return bytes;
}

// A version 2 QuickDraw picture: one 8-bit pixel map of `width` x `height`,
// its rows packed as literal runs, as scanned pictures are.
std::string Picture(int width, int height, int seed) {
  std::string bytes;
  auto word = [&](uint32_t value) { bytes += {static_cast<char>(value >> 8), static_cast<char>(value)}; };
  auto words = [&](std::initializer_list<uint32_t> values) {
    for (uint32_t value : values) word(value);
  };
  words({0, 0, 0, static_cast<uint32_t>(height), static_cast<uint32_t>(width), 0x0011, 0x02FF});
  words({0x0C00, 0xFFFE, 0, 0x48, 0, 0x48, 0, 0, 0, static_cast<uint32_t>(height), static_cast<uint32_t>(width), 0, 0});
  words({0x0098, 0x8000 | static_cast<uint32_t>(width), 0, 0, static_cast<uint32_t>(height),
         static_cast<uint32_t>(width), 0, 0, 0, 0, 0x48, 0, 0x48, 0});
  words({0, 8, 1, 8, 0, 0, 0, 0, 0, 0});  // pixel type, size and components; table, reserved
  words({0, 0, 0, 255});                  // colour table: seed, flags, 256 entries
  for (uint32_t i = 0; i < 256; ++i) words({i, i * 257, (i * 97 % 256) * 257, (255 - i) * 257});
  for (int rect = 0; rect < 2; ++rect) words({0, 0, static_cast<uint32_t>(height), static_cast<uint32_t>(width)});
  word(0);  // srcCopy
  for (int y = 0; y < height; ++y) {
    std::string row;
    for (int x = 0; x < width; x += 128) {
      int run = std::min(128, width - x);
      row += static_cast<char>(run - 1);
      for (int k = 0; k < run; ++k) row += static_cast<char>((x + k) * (y + seed) / 7);
    }
    if (width > 250) word(static_cast<uint32_t>(row.size())); else bytes += static_cast<char>(row.size());
    bytes += row;
  }
  word(0x00FF);
  return bytes;
}

// The template with each N that ends a name or a text (never one in an
// instruction's name) as the number `n`.
std::string Instantiate(const char* text, int n) {
  std::string code;
  for (const char* c = text; *c; ++c) {
    bool number = *c == 'N' && c > text && (std::isalpha(static_cast<unsigned char>(c[-1])) || c[-1] == ' ') &&
                  !std::isalpha(static_cast<unsigned char>(c[1])) && c[1] != '-';
    code += number ? std::to_string(n) : std::string(1, *c);
  }
  return code;
}

// The locals' names: a loop's own variables named as the compiler names
// them (the foreach's iterator, the for loop's limit and step).
std::vector<std::string> Locals(size_t templateIndex) {
  if (templateIndex == 1) return {"x", "x|iter", "z"};
  if (templateIndex == 2) return {"x", "x|limit", "x|incr"};
  return {"x", "y", "z"};
}
}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fputs("usage: package_generator DIR COUNT [FUNCTIONS]\n", stderr);
    return 2;
  }
  std::string dir = argv[1];
  int count = std::atoi(argv[2]);
  int functions = argc > 3 ? std::atoi(argv[3]) : 80;
  const int kTemplateCount = sizeof kTemplates / sizeof kTemplates[0];
  for (int p = 0; p < count; ++p) {
    PackageObjects objects;
    std::vector<Ref> views;
    std::string bounds = objects.Frame({{"left", 0u}, {"top", 80u}, {"right", 960u}, {"bottom", 160u}});
    std::string code(13000, '\0');
    for (size_t i = 0; i < code.size(); ++i) code[i] = static_cast<char>(i * 131 + p);
    std::map<std::string, std::string> shared = {
        {"module", objects.Frame({{"class", 0x232u}, {"code", objects.New({"", 0x40, {objects.Sym("code")}, code})},
                                  {"numArgs", 2u << 2}})},
        {"settings", objects.Frame({{"mode1", objects.Sym("fast")}, {"mode2", 7u << 2}, {"title", objects.String("Settings")}})},
        {"labels", objects.New({"", 0x41, {objects.Sym("Array"), objects.String("One"), objects.String("Two")}, ""})}};
    shared["inner"] = objects.Function({"inner", {"item"}, {}, "get-var 3; find-var 'arg; freq-func add; return", {}, "", {}},
                                       false, false);
    for (int f = 0; f < functions; ++f) {
      int n = p * 7 + f;
      FunctionPlan plan{"f", {"arg"}, Locals(f % kTemplateCount), Instantiate(kTemplates[f % kTemplateCount], n % 50),
                        {}, "", {}};
      std::string method = objects.Function(plan, f % 5 == 0, f % 3 == 0, shared);
      views.push_back(objects.Frame({{"viewClass", 324u}, {"viewBounds", bounds},
                                     {"text", objects.String("View " + std::to_string(n))},
                                     {"viewFlags", 4u << 2}, {"viewClickScript", method},
                                     {"_proto", objects.Sym("protoView" + std::to_string(n % 9))}}));
    }
    Obj children{"", 0x41, {objects.Sym("Array")}, ""};
    children.refs = {objects.Sym("Array")};
    children.refs.insert(children.refs.end(), views.begin(), views.end());
    std::string form = objects.Frame({{"viewBounds", bounds}, {"stepChildren", objects.New(children)},
                                      {"title", objects.String("Application " + std::to_string(p))}});
    std::string bits(16 + 4 * 32, '\0');
    bits[5] = 4, bits[13] = 32, bits[15] = 32;
    for (size_t i = 16; i < bits.size(); ++i) bits[i] = static_cast<char>(i * 37);
    std::string icon = objects.New({"", 0x40, {objects.Sym("bits")}, bits});
    Obj pictures{"", 0x41, {objects.Sym("Array")}, ""};
    std::vector<std::string> drawn = {Picture(64, 48, p)};
    if (p % 10 == 0) drawn = {Picture(400, 300, p), Picture(400, 300, p + 1), Drawing(1200, 1600, p)};
    for (const std::string& picture : drawn) pictures.refs.push_back(objects.New({"", 0x40, {objects.Sym("picture")}, picture}));
    std::string root = objects.Frame({{"app", objects.Sym("App" + std::to_string(p) + ":SIG")},
                                      {"text", objects.String("App " + std::to_string(p))},
                                      {"icon", objects.Frame({{"bits", icon}})}, {"theForm", form},
                                      {"pictures", objects.New(pictures)}});
    Built built = objects.Package(root, false);
    std::ofstream(dir + "/p" + std::to_string(p) + ".pkg", std::ios::binary) << built.bytes;
  }
  return 0;
}
