// Writes packages shaped like the applications people keep: an icon, a form
// of nested views whose frames share maps, strings and symbols, and many
// NewtonScript functions of the kinds compilers make (sends, paths, if and
// else, loops, foreach, try, frames and arrays built at run time).
//
//   package_generator DIR COUNT [FUNCTIONS]
//
// writes DIR/p0.pkg ... each with about FUNCTIONS functions (80 by default,
// near the average of real packages).

#include <cstdio>
#include <cstdlib>
#include <fstream>
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
       branch-if-false L1; get-var 4; push "too low: N"; push 'Array; make-array 2; return
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
};

std::string Instantiate(const char* text, int n) {
  std::string code = text;
  for (size_t at; (at = code.find('N')) != std::string::npos && at > 0 && code[at - 1] != '\n';) {
    // Only the N that ends a name or a text: never in an instruction name.
    if (!std::isalpha(static_cast<unsigned char>(code[at - 1])) && code[at - 1] != ' ') break;
    code.replace(at, 1, std::to_string(n));
  }
  return code;
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
  for (int p = 0; p < count; ++p) {
    PackageObjects objects;
    std::vector<Ref> views;
    std::string bounds = objects.Frame({{"left", 0u}, {"top", 80u}, {"right", 960u}, {"bottom", 160u}});
    for (int f = 0; f < functions; ++f) {
      int n = p * 7 + f;
      FunctionPlan plan{"f", {"arg"}, {"x", "y", "z"}, Instantiate(kTemplates[f % 6], n % 50), {}, "", {}};
      std::string method = objects.Function(plan, f % 5 == 0, f % 3 == 0);
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
    std::string root = objects.Frame({{"app", objects.Sym("App" + std::to_string(p) + ":SIG")},
                                      {"text", objects.String("App " + std::to_string(p))},
                                      {"icon", objects.Frame({{"bits", icon}})}, {"theForm", form}});
    Built built = objects.Package(root, false);
    std::ofstream(dir + "/p" + std::to_string(p) + ".pkg", std::ios::binary) << built.bytes;
  }
  return 0;
}
