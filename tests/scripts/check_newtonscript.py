#!/usr/bin/env python3
"""Parses NewtonScript source as pkginspect writes it, to show it is well formed.

Usage: check_newtonscript.py FILE...  Each file must be one piece of
NewtonScript: expressions separated by semicolons. Prints the first place each
file fails to parse, and exits 1 if any does.
"""
import re
import sys

KEYWORDS = {
    "and", "begin", "break", "by", "call", "collect", "constant", "deeply", "div", "do", "else",
    "end", "exists", "for", "foreach", "func", "global", "if", "in", "inherited", "local", "loop",
    "mod", "native", "not", "onexception", "or", "repeat", "return", "self", "then", "to", "try",
    "until", "while", "with", "nil", "true",
}

TOKEN = re.compile(r"""
    (?P<space>\s+|//[^\n]*|/\*.*?\*/)
  | (?P<real>\d+\.\d*(?:[eE][-+]?\d+)?|\d+[eE][-+]?\d+)
  | (?P<int>0x[0-9a-fA-F]+|\d+)
  | (?P<string>"(?:[^"\\]|\\.)*")
  | (?P<char>\$(?:\\u[0-9a-fA-F]{4}|\\.|.))
  | (?P<name>[A-Za-z_][A-Za-z0-9_]*|\|(?:[^|\\]|\\.)*\|)
  | (?P<op>:=|:\?|<>|<=|>=|&&|[-+*/<>=&.:\[\](){},;'@])
""", re.S | re.X)

# The binary operators, loosest first: `not` is a prefix and `exists` a
# suffix at their levels; comparisons do not chain.
LEVELS = [("chain", {"or"}), ("chain", {"and"}), ("prefix", {"not"}),
          ("single", {"=", "<>", "<", ">", "<=", ">="}), ("suffix", {"exists"}),
          ("chain", {"&", "&&"}), ("chain", {"+", "-"}), ("chain", {"*", "/", "div", "mod"})]
# What may follow an expression that ends a return or a break.
ENDS = {";", ")", "]", "}", "end", "else", "until", "onexception", ""}


class Error(Exception):
    pass


def tokens(text):
    out, at = [], 0
    while at < len(text):
        match = TOKEN.match(text, at)
        if not match:
            raise Error(f"no token at offset {at}: {text[at:at + 20]!r}")
        kind, value = match.lastgroup, match.group()
        if kind == "name" and value.lower() in KEYWORDS:
            kind, value = "keyword", value.lower()
        if kind != "space":
            out.append((kind, value, at))
        at = match.end()
    return out + [("end", "", len(text))]


class Parser:
    def __init__(self, text):
        self.tokens = tokens(text)
        self.at = 0

    def peek(self, value=None, kind=None):
        token = self.tokens[self.at]
        return (value is None or token[1] == value) and (kind is None or token[0] == kind)

    def take(self, value=None, kind=None):
        if not self.peek(value, kind):
            token = self.tokens[self.at]
            raise Error(f"expected {value or kind} at offset {token[2]}, found {token[1]!r}")
        self.at += 1
        return self.tokens[self.at - 1]

    def accept(self, value=None, kind=None):
        if self.peek(value, kind):
            self.at += 1
            return True
        return False

    def sequence(self, stop):
        """Expressions separated by semicolons, up to the word `stop`."""
        while not self.peek(stop) and not (stop == "" and self.peek(kind="end")):
            self.expression()
            if not self.accept(";"):
                break

    def listed(self, close, item):
        """item (, item)* close, or close at once."""
        if self.accept(close):
            return
        while True:
            item()
            if self.accept(close):
                return
            self.take(",")

    def program(self):
        self.sequence("")
        self.take(kind="end")

    def expression(self):
        if self.accept("local"):
            def declaration():
                self.take(kind="name")
                if self.accept(":="):
                    self.expression()
            while True:
                declaration()
                if not self.accept(","):
                    return
        if self.accept("return") or self.accept("break"):
            if self.tokens[self.at][1] not in ENDS:
                self.expression()
            return
        assignable = self.operators(0)
        if self.accept(":="):
            if not assignable:
                raise Error(f"nothing to assign to at offset {self.tokens[self.at - 1][2]}")
            self.expression()

    def operators(self, level):
        """One level of binary operators; whether what it read can be assigned."""
        if level == len(LEVELS):
            return self.unary()
        shape, words = LEVELS[level]
        if shape == "prefix" and self.tokens[self.at][1] in words:
            self.at += 1
            self.operators(level)
            return False
        assignable = self.operators(level + 1)
        if shape == "suffix":
            found = self.accept("exists")
            return assignable and not found
        while shape in ("chain", "single") and self.tokens[self.at][1] in words and not self.peek(kind="string"):
            self.at += 1
            self.operators(level + 1)
            assignable = False
            if shape == "single":
                break
        return assignable

    def unary(self):
        if self.accept("-"):
            self.unary()
            return False
        return self.postfix()

    def arguments(self):
        self.take("(")
        self.listed(")", self.expression)

    def postfix(self):
        assignable = self.primary()
        while True:
            if self.accept("."):
                if not self.accept(kind="name"):
                    self.take("(")
                    self.expression()
                    self.take(")")
                assignable = True
            elif self.accept("["):
                self.expression()
                self.take("]")
                assignable = True
            elif self.accept(":") or self.accept(":?"):
                self.take(kind="name")
                self.arguments()
                assignable = False
            else:
                return assignable

    def primary(self):
        kind, value, _ = self.tokens[self.at]
        self.at += 1
        if kind in ("int", "real", "string", "char") or value in ("nil", "true"):
            return False
        if kind == "name":
            if self.peek("("):
                self.arguments()
                return False
            return True
        if value == "self":
            return True
        if value == "@":
            self.take(kind="int")
        elif value == "'":
            self.quoted()
        elif value in (":", ":?"):
            self.take(kind="name")
            self.arguments()
        elif value == "inherited":
            if not self.accept(":"):
                self.take(":?")
            self.take(kind="name")
            self.arguments()
        elif value == "(":
            self.expression()
            self.take(")")
        elif value == "[":
            self.array(self.expression)
        elif value == "{":
            self.frame(self.expression)
        elif value in self.CONTROL:
            self.CONTROL[value](self)
        else:
            raise Error(f"unexpected {value!r} at offset {self.tokens[self.at - 1][2]}")
        return False

    def array(self, element):
        # [class: a, b] or [a, b]
        if self.peek(kind="name") and self.tokens[self.at + 1][1] == ":":
            self.at += 2
        self.listed("]", element)

    def frame(self, value):
        def slot():
            self.take(kind="name")
            self.take(":")
            value()
        self.listed("}", slot)

    def quoted(self):
        """A quoted literal: symbols bare, nothing evaluated."""
        kind, value, _ = self.tokens[self.at]
        self.at += 1
        if value == "[":
            self.array(self.quoted)
        elif value == "{":
            self.frame(self.quoted)
        elif value in ("-", "@"):
            self.take()
        elif kind not in ("name", "int", "real", "string", "char") and value not in ("nil", "true"):
            raise Error(f"no quoted value at offset {self.tokens[self.at - 1][2]}")

    def words(self, *steps):
        """Keywords to take, E for an expression, N for a name."""
        for step in steps:
            if step == "E":
                self.expression()
            elif step == "N":
                self.take(kind="name")
            else:
                self.take(step)

    def control_if(self):
        self.words("E", "then", "E")
        if self.accept("else"):
            self.expression()

    def control_for(self):
        self.words("N", ":=", "E", "to", "E")
        if self.accept("by"):
            self.expression()
        self.words("do", "E")

    def control_foreach(self):
        self.take(kind="name")
        if self.accept(","):
            self.take(kind="name")
        self.accept("deeply")
        self.words("in", "E")
        if not self.accept("do"):
            self.take("collect")
        self.expression()

    def control_try(self):
        self.sequence("onexception")
        self.take("onexception")
        self.words("N", "do", "E")
        while self.accept("onexception"):
            self.words("N", "do", "E")

    def control_func(self):
        self.accept("native")
        self.take("(")
        self.listed(")", lambda: self.take(kind="name"))
        self.expression()

    CONTROL = {
        "begin": lambda self: (self.sequence("end"), self.take("end")),
        "if": control_if, "for": control_for, "foreach": control_foreach,
        "while": lambda self: self.words("E", "do", "E"),
        "repeat": lambda self: (self.sequence("until"), self.words("until", "E")),
        "loop": lambda self: self.expression(),
        "try": control_try, "func": control_func,
        "call": lambda self: (self.words("E", "with"), self.arguments()),
    }


def main():
    failures = 0
    for path in sys.argv[1:]:
        try:
            Parser(open(path, encoding="utf-8").read()).program()
        except (Error, RecursionError) as error:
            print(f"{path}: {error}")
            failures += 1
    print(f"{len(sys.argv) - 1} checked, {failures} failed")
    return 1 if failures or len(sys.argv) < 2 else 0


if __name__ == "__main__":
    sys.setrecursionlimit(100000)
    sys.exit(main())
