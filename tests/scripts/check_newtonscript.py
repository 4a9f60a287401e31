#!/usr/bin/env python3
"""Parses NewtonScript source as pkginspect writes it, to show it is well formed.

Usage: check_newtonscript.py FILE...  Each file must be one piece of
NewtonScript: expressions separated by semicolons. Prints the first place each
file fails to parse, and exits 1 if any does. The grammar is NewtonScript's as
the language's reference gives it, for the forms a package's objects and
functions can be written in.
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


class Error(Exception):
    pass


def tokens(text):
    out = []
    at = 0
    while at < len(text):
        match = TOKEN.match(text, at)
        if not match:
            raise Error(f"no token at offset {at}: {text[at:at + 20]!r}")
        kind = match.lastgroup
        value = match.group()
        if kind == "name" and value.lower() in KEYWORDS:
            kind = "keyword"
            value = value.lower()
        if kind != "space":
            out.append((kind, value, at))
        at = match.end()
    out.append(("end", "", len(text)))
    return out


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

    def program(self):
        while not self.peek(kind="end"):
            self.expression()
            if not self.accept(";"):
                break
        self.take(kind="end")

    def expression(self):
        if self.peek("local", "keyword"):
            self.take()
            while True:
                self.take(kind="name")
                if self.accept(":="):
                    self.expression()
                if not self.accept(","):
                    return
        if self.peek("return", "keyword") or self.peek("break", "keyword"):
            self.take()
            if not any(self.peek(v) for v in (";", ")", "]", "}", "end", "else", "until", "onexception")) \
                    and not self.peek(kind="end"):
                self.expression()
            return
        assignable = self.disjunction()
        if self.accept(":="):
            if not assignable:
                raise Error(f"nothing to assign to at offset {self.tokens[self.at - 1][2]}")
            self.expression()

    def disjunction(self):
        return self.chain("or", self.conjunction)

    def conjunction(self):
        return self.chain("and", self.negation)

    def chain(self, word, operand):
        """operand (word operand)*: assignable only when alone."""
        assignable = operand()
        while self.accept(word):
            operand()
            assignable = False
        return assignable

    def negation(self):
        if self.accept("not"):
            self.negation()
            return False
        return self.comparison()

    def comparison(self):
        assignable = self.existence()
        if any(self.peek(op, "op") for op in ("=", "<>", "<", ">", "<=", ">=")):
            self.take()
            self.existence()
            return False
        return assignable

    def existence(self):
        assignable = self.binary(0)
        if self.accept("exists"):
            return False
        return assignable

    LEVELS = [("&", "&&"), ("+", "-"), ("*", "/", "div", "mod")]

    def binary(self, level):
        if level == len(self.LEVELS):
            return self.unary()
        assignable = self.binary(level + 1)
        while any(self.peek(op) and not self.peek(kind="string") for op in self.LEVELS[level]):
            self.take()
            self.binary(level + 1)
            assignable = False
        return assignable

    def unary(self):
        if self.accept("-"):
            self.unary()
            return False
        return self.postfix()

    def arguments(self):
        self.take("(")
        if not self.accept(")"):
            while True:
                self.expression()
                if self.accept(")"):
                    return
                self.take(",")

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
            elif self.peek(":") or self.peek(":?"):
                self.take()
                self.take(kind="name")
                self.arguments()
                assignable = False
            else:
                return assignable

    def primary(self):
        kind, value, _ = self.tokens[self.at]
        if kind in ("int", "real", "string", "char"):
            self.at += 1
            return False
        if kind == "name":
            self.at += 1
            if self.peek("("):
                self.arguments()
                return False
            return True
        if value in ("nil", "true", "self"):
            self.at += 1
            return value == "self"
        if value == "@":
            self.at += 1
            self.take(kind="int")
            return False
        if value == "'":
            self.at += 1
            self.quoted()
            return False
        if value in (":", ":?"):
            self.at += 1
            self.take(kind="name")
            self.arguments()
            return False
        if value == "inherited":
            self.at += 1
            if not self.accept(":"):
                self.take(":?")
            self.take(kind="name")
            self.arguments()
            return False
        if value == "(":
            self.at += 1
            self.expression()
            self.take(")")
            return False
        if value == "[":
            self.at += 1
            self.array(self.expression)
            return False
        if value == "{":
            self.at += 1
            self.frame(self.expression)
            return False
        if value in self.CONTROL:
            self.at += 1
            self.CONTROL[value](self)
            return False
        raise Error(f"unexpected {value!r} at offset {self.tokens[self.at][2]}")

    def array(self, element):
        # [class: a, b] or [a, b]
        if self.peek(kind="name") and self.tokens[self.at + 1][1] == ":":
            self.at += 2
        if self.accept("]"):
            return
        while True:
            element()
            if self.accept("]"):
                return
            self.take(",")

    def frame(self, value):
        if self.accept("}"):
            return
        while True:
            self.take(kind="name")
            self.take(":")
            value()
            if self.accept("}"):
                return
            self.take(",")

    def quoted(self):
        """A quoted literal: symbols bare, nothing evaluated."""
        kind, value, _ = self.tokens[self.at]
        if value == "[":
            self.at += 1
            self.array(self.quoted)
        elif value == "{":
            self.at += 1
            self.frame(self.quoted)
        elif kind in ("name", "int", "real", "string", "char") or value in ("nil", "true"):
            self.at += 1
        elif value == "-":
            self.at += 1
            self.take()
        elif value == "@":
            self.at += 1
            self.take(kind="int")
        else:
            self.take(kind="name")

    def control_begin(self):
        while not self.peek("end", "keyword"):
            self.expression()
            if not self.accept(";"):
                break
        self.take("end", "keyword")

    def control_if(self):
        self.expression()
        self.take("then")
        self.expression()
        if self.accept("else"):
            self.expression()

    def control_for(self):
        self.take(kind="name")
        self.take(":=")
        self.expression()
        self.take("to")
        self.expression()
        if self.accept("by"):
            self.expression()
        self.take("do")
        self.expression()

    def control_foreach(self):
        self.take(kind="name")
        if self.accept(","):
            self.take(kind="name")
        self.accept("deeply")
        self.take("in")
        self.expression()
        if not self.accept("do"):
            self.take("collect")
        self.expression()

    def control_while(self):
        self.expression()
        self.take("do")
        self.expression()

    def control_repeat(self):
        while not self.peek("until"):
            self.expression()
            if not self.accept(";"):
                break
        self.take("until")
        self.expression()

    def control_loop(self):
        self.expression()

    def control_try(self):
        while not self.peek("onexception"):
            self.expression()
            if not self.accept(";"):
                break
        self.take("onexception")
        while True:
            self.take(kind="name")
            self.take("do")
            self.expression()
            if not self.accept("onexception"):
                return

    def control_func(self):
        self.accept("native")
        self.take("(")
        if not self.accept(")"):
            while True:
                self.take(kind="name")
                if self.accept(")"):
                    break
                self.take(",")
        self.expression()

    def control_call(self):
        self.expression()
        self.take("with")
        self.arguments()

    CONTROL = {"begin": control_begin, "if": control_if, "for": control_for,
               "foreach": control_foreach, "while": control_while, "repeat": control_repeat,
               "loop": control_loop, "try": control_try, "func": control_func,
               "call": control_call}


def main():
    failures = 0
    for path in sys.argv[1:]:
        text = open(path, encoding="utf-8").read()
        try:
            Parser(text).program()
        except (Error, RecursionError) as error:
            print(f"{path}: {error}")
            failures += 1
    print(f"{len(sys.argv) - 1} checked, {failures} failed")
    return 1 if failures or len(sys.argv) < 2 else 0


if __name__ == "__main__":
    sys.setrecursionlimit(100000)
    sys.exit(main())
