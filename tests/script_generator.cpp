#include "tests/script_generator.h"

#include <cctype>
#include <fstream>

namespace {
std::string Lower(std::string text) {
  for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return text;
}
}  // namespace

ScriptGenerator::ScriptGenerator(const std::string& dir, unsigned seed) : random(seed) {
  for (size_t size : {0, 16, 63, 64, 100, 5000, 70000}) {
    std::string data(size, '\0');
    for (char& c : data) c = static_cast<char>(random());
    files.push_back(dir + "/" + std::to_string(size));
    std::ofstream(files.back(), std::ios::binary) << data;
  }
}

const char* ScriptGenerator::Pick(std::initializer_list<const char*> words) {
  return *(words.begin() + random() % words.size());
}

std::string ScriptGenerator::Next(std::map<std::string, Slot>& slots) {
  std::string script;
  for (int n = random() % 40; n > 0; --n) {
    std::string name = Pick({"n", "N", "#n", "n"}) + std::to_string(random() % 30);
    if (random() % 20 == 0) name += std::string(300, 'l');
    std::string data = files[random() % files.size()];
    std::string gap = Pick({" ", "\t", "\n", " \r\n  ", "\v"});
    script += Pick({"", "# makeSlot gone binary b x\n", "#\n", "foo makeSlott gone binary b x ",
                    "# swallows\rmakeSlot gone binary b x\n"});
    script += Pick({"makeSlot", "MAKESLOT", "makeslot"}) + gap + name + gap;
    std::string number = std::to_string(1000000 + n);
    if (random() % 4 == 0) {
      std::string sign = Pick({"-", "+", ""});
      script += Pick({"asmCode", "ASMCODE"}) + gap + sign + number + Pick({" ", ""}) + data + "\n";
      slots[Lower(name)] = {data, (sign == "-" ? " -" : " ") + number + "\n"};
    } else {
      // Bitmap classes over bytes that are mostly no bitmap at all.
      std::string className = random() % 3 == 0 ? Pick({"bits", "mask", "cbits", "BITS"})
                                                : Pick({"c", "C"}) + number;
      script += Pick({"binary", "Binary"}) + gap + className + gap + data + "\n";
      slots[Lower(name)] = {data, ", class " + className + "\n"};
    }
  }
  return script;
}
