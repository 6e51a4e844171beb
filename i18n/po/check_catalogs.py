#!/usr/bin/env python3
"""Checks the installer's message catalogs against their template.

Usage: check_catalogs.py [PO_DIR]   (default: the directory of this script)

Every locale the installer embeds must have a catalog that
  - passes `msgfmt -c` without a warning,
  - holds exactly the template's messages, none fuzzy, obsolete or empty,
  - has a UTF-8 header whose Language is the file's name and whose plural rule
    is accepted by the installer's own rule grammar (no unary operators) and
    yields exactly as many forms as nplurals declares,
  - keeps every message's leading and trailing white space, its printf
    conversions (count and kind; "%1$d" counts as "%d"; a plural form that the
    rule selects for one count only may leave the count out, as Arabic does
    in its dual "ثانيتان"), and the product name,
  - compiles into a catalog whose entries, forms and plural rule (read up to
    the first ";" as the installer reads it) are those of the source,
  - stays within the runtime limits: 4,096 bytes per catalog string, 255 bytes
    of status text in the progress window,
  - is written in its language's script (Simplified or Traditional Chinese
    characters as the locale requires), and differs from its regional sibling.
Exits with 1 and lists every problem when any check fails.
"""

import os
import re
import struct
import subprocess
import sys
import tempfile
import unicodedata

LOCALES = (
    "af am ar-EG ar-MA ar-SA ar az bg bho bn bs ca cs da de el en-GB en es-419 es-AR es-MX es "
    "et eu fa fi fil fr-CA fr gl gu he hi hr hu id is it ja kn ko lt lv mk ml mr ms nb ne nl or "
    "pa-IN pa-PK pl pt-BR pt-PT ro ru sk sl sr sv sw ta te th tr uk ur vi zh-CN zh-Hant-HK "
    "zh-Hant zh-TW zu"
).split()

# Forms selected for the counts 0, 1, 2, 5, 11, 21, 22, 101 by the rules
# that several catalogs share.
PROBE_COUNTS = (0, 1, 2, 5, 11, 21, 22, 101)
SHARED_RULE_FORMS = {
    "n != 1": (1, 0, 1, 1, 1, 1, 1, 1),
    "(n != 1)": (1, 0, 1, 1, 1, 1, 1, 1),
    "n>1": (0, 0, 1, 1, 1, 1, 1, 1),
    "0": (0, 0, 0, 0, 0, 0, 0, 0),
}
ARABIC_FORMS = (0, 1, 2, 3, 4, 4, 4, 5)
EAST_SLAVIC_FORMS = (2, 0, 1, 2, 2, 0, 1, 0)
RULE_GROUPS = {
    "n>1": "am fil fr fr-CA pt-BR zu",
    "0": "id ja ko ms th vi zh-CN zh-Hant zh-Hant-HK zh-TW",
    "(n != 1)": "en",
    "arabic": "ar ar-EG ar-MA ar-SA",
    "slavic": "bs hr ru sr uk",
    "own": "cs sk fa he is lt lv mk pl ro sl",
}
OWN_RULE_FORMS = {  # languages with a rule of their own: nplurals and probe forms
    "cs": (3, (2, 0, 1, 2, 2, 2, 2, 2)),
    "sk": (3, (2, 0, 1, 2, 2, 2, 2, 2)),
    "fa": (2, (1, 1, 0, 0, 0, 0, 0, 0)),
    "he": (4, (3, 0, 1, 3, 3, 3, 3, 3)),
    "is": (2, (1, 0, 1, 1, 1, 0, 1, 0)),  # CLDR: 21, 31, 101 take the singular
    "lt": (3, (2, 0, 1, 1, 2, 0, 1, 0)),
    "lv": (3, (2, 0, 1, 1, 1, 0, 1, 0)),
    "mk": (2, (1, 0, 1, 1, 1, 0, 1, 0)),
    "pl": (3, (2, 0, 1, 2, 2, 2, 1, 2)),
    "ro": (3, (1, 0, 1, 1, 1, 2, 2, 1)),
    "sl": (4, (3, 0, 1, 3, 3, 3, 3, 0)),
}

PRODUCT = "Zevrino"

# Script of each locale's text, as Unicode ranges of its letters.
LATIN = [(0x41, 0x5A), (0x61, 0x7A), (0xC0, 0x2AF), (0x1E00, 0x1EFF)]
SCRIPTS = {
    "cyrillic": [(0x400, 0x4FF)],
    "greek": [(0x370, 0x3FF)],
    "arabic": [(0x600, 0x6FF), (0x750, 0x77F), (0xFB50, 0xFDFF), (0xFE70, 0xFEFF)],
    "hebrew": [(0x590, 0x5FF)],
    "devanagari": [(0x900, 0x97F)],
    "bengali": [(0x980, 0x9FF)],
    "gurmukhi": [(0xA00, 0xA7F)],
    "gujarati": [(0xA80, 0xAFF)],
    "oriya": [(0xB00, 0xB7F)],
    "tamil": [(0xB80, 0xBFF)],
    "telugu": [(0xC00, 0xC7F)],
    "kannada": [(0xC80, 0xCFF)],
    "malayalam": [(0xD00, 0xD7F)],
    "thai": [(0xE00, 0xE7F)],
    "ethiopic": [(0x1200, 0x139F)],
    "hangul": [(0x1100, 0x11FF), (0x3130, 0x318F), (0xAC00, 0xD7AF)],
    "japanese": [(0x3005, 0x3005), (0x3040, 0x30FF), (0x4E00, 0x9FFF)],
    "han": [(0x4E00, 0x9FFF)],
}
LOCALE_SCRIPT = {
    "am": "ethiopic", "ar": "arabic", "ar-EG": "arabic", "ar-MA": "arabic", "ar-SA": "arabic",
    "bg": "cyrillic", "bho": "devanagari", "bn": "bengali", "el": "greek", "fa": "arabic",
    "gu": "gujarati", "he": "hebrew", "hi": "devanagari", "ja": "japanese", "kn": "kannada",
    "ko": "hangul", "mk": "cyrillic", "ml": "malayalam", "mr": "devanagari", "ne": "devanagari",
    "or": "oriya", "pa-IN": "gurmukhi", "pa-PK": "arabic", "ru": "cyrillic", "ta": "tamil",
    "te": "telugu", "th": "thai", "uk": "cyrillic", "ur": "arabic", "zh-CN": "han",
    "zh-Hant-HK": "han", "zh-Hant": "han", "zh-TW": "han",
}  # every other locale is written in Latin letters (sr included)
# Latin words that non-Latin catalogs may keep as they are.
KEPT_LATIN = ("Zevrino", "Windows", "OK", "Internet")

# Characters whose Simplified and Traditional forms differ.
SIMPLIFIED_ONLY = set("装载试错误无关闭请续务电脑网连络码权启动户帐进应该时间约钟确运没损坏从浏览档盘创须个经还开内这为发现设对让删统软单继载")
TRADITIONAL_ONLY = set("裝載試錯誤無關閉請續務電腦網連絡碼權啟動戶帳進應該時間約鐘確運沒損壞從瀏覽檔盤創須個經還開內這為發現設對讓刪統軟單繼")

# Pairs of catalogs whose regional usage differs, with the least number of
# messages in which they must differ.
MUST_DIFFER = [
    ("en", "en-GB", 3), ("pt-BR", "pt-PT", 12), ("es", "es-419", 8), ("es-419", "es-AR", 8),
    ("es-419", "es-MX", 8), ("fr", "fr-CA", 8), ("zh-TW", "zh-Hant-HK", 5),
    ("zh-CN", "zh-Hant", 15), ("pa-IN", "pa-PK", 20), ("hi", "bho", 15),
]

CONVERSION = re.compile(r"%(?:(\d+)\$)?([-+ #0]*\d*(?:\.\d+)?(?:hh|h|ll|l|j|z|t|L)?[diouxXeEfgGcspn%])")


def parse_po(path):
    """Returns the entries of a PO file as dicts with id, plural, strs (list), flags, line."""
    entries, cur, field = [], None, None
    unescape = {"n": "\n", "t": "\t", '"': '"', "\\": "\\"}

    def string_of(text, lineno):
        text = text.strip()
        if len(text) < 2 or text[0] != '"' or text[-1] != '"':
            raise ValueError("%s:%d: malformed string" % (path, lineno))
        return re.sub(r"\\(.)", lambda m: unescape.get(m.group(1), "\\" + m.group(1)), text[1:-1])

    def finish():
        if cur is not None and "id" in cur:
            entries.append(cur)

    with open(path, encoding="utf-8") as f:
        for lineno, line in enumerate(f, 1):
            line = line.rstrip("\n")
            if not line.strip():
                continue
            if line.startswith("#~"):
                raise ValueError("%s:%d: obsolete entry" % (path, lineno))
            if line.startswith("#,"):
                if cur is not None and "id" in cur:
                    finish()
                    cur = None
                cur = cur or {"flags": set(), "strs": {}, "line": lineno}
                cur["flags"].update(x.strip() for x in line[2:].split(","))
                continue
            if line.startswith("#"):
                continue
            m = re.match(r"(msgctxt|msgid_plural|msgid|msgstr(?:\[(\d+)\])?)\s+(.*)$", line)
            if m:
                key, index, rest = m.group(1), m.group(2), m.group(3)
                if key == "msgid" or key == "msgctxt":
                    if cur is not None and "id" in cur:
                        finish()
                        cur = None
                    cur = cur or {"flags": set(), "strs": {}, "line": lineno}
                if cur is None:
                    raise ValueError("%s:%d: %s without msgid" % (path, lineno, key))
                if key == "msgid":
                    field = ("id", None)
                elif key == "msgid_plural":
                    field = ("plural", None)
                elif key == "msgctxt":
                    field = ("ctxt", None)
                else:
                    field = ("strs", int(index) if index is not None else -1)
                value = string_of(rest, lineno)
                if field[0] == "strs":
                    if field[1] in cur["strs"]:
                        raise ValueError("%s:%d: repeated %s" % (path, lineno, key))
                    cur["strs"][field[1]] = value
                else:
                    cur[field[0]] = value
            elif line.startswith('"') and field is not None and cur is not None:
                value = string_of(line, lineno)
                if field[0] == "strs":
                    cur["strs"][field[1]] += value
                else:
                    cur[field[0]] += value
            else:
                raise ValueError("%s:%d: unexpected line" % (path, lineno))
    finish()
    return entries


class RuleError(Exception):
    pass


def compile_rule(text):
    """Compiles a plural rule with the installer's grammar into postfix words.

    Binary operators are left-associative, "?:" right-associative, and there
    are no unary operators, exactly as the runtime parser accepts them.
    """
    tokens = re.findall(r"\s*(\d+|n|\|\||&&|==|!=|<=|>=|[<>+\-*/%()?:]|\S)", text)
    if "".join(tokens).replace(" ", "") != re.sub(r"\s+", "", text):
        raise RuleError("unreadable rule")
    pos = [0]
    out = []

    def peek():
        return tokens[pos[0]] if pos[0] < len(tokens) else None

    def take(tok):
        if peek() != tok:
            raise RuleError("expected %r at token %d" % (tok, pos[0]))
        pos[0] += 1

    def binary(sub, ops):
        sub()
        while peek() in ops:
            op = tokens[pos[0]]
            pos[0] += 1
            sub()
            out.append(op)

    def value():
        tok = peek()
        if tok is None:
            raise RuleError("missing operand")
        if tok.isdigit():
            if int(tok) > 0x0FFFFFFF:
                raise RuleError("literal too large")
            out.append(int(tok))
            pos[0] += 1
        elif tok == "n":
            out.append("n")
            pos[0] += 1
        elif tok == "(":
            pos[0] += 1
            expression()
            take(")")
        else:
            raise RuleError("unexpected %r" % tok)

    def term():
        binary(value, ("*", "/", "%"))

    def add():
        binary(term, ("+", "-"))

    def relation():
        binary(add, ("<=", "<", ">", ">="))

    def equality():
        binary(relation, ("==", "!="))

    def conjunction():
        binary(equality, ("&&",))

    def disjunction():
        binary(conjunction, ("||",))

    def expression():
        disjunction()
        if peek() == "?":
            pos[0] += 1
            expression()
            take(":")
            expression()
            out.append("?:")

    expression()
    if pos[0] != len(tokens):
        raise RuleError("text left after the rule")
    return out


def evaluate_rule(words, count):
    n = abs(count)
    if n > 0x0FFFFFFF:
        n = n % 100000000 + 100000000
    mask = 0xFFFFFFFF
    ops = {
        "*": lambda c, b: (c * b) & mask, "/": lambda c, b: c // b, "%": lambda c, b: c % b,
        "+": lambda c, b: (c + b) & mask, "-": lambda c, b: (c - b) & mask,
        ">=": lambda c, b: int(c >= b), ">": lambda c, b: int(c > b),
        "<": lambda c, b: int(c < b), "<=": lambda c, b: int(c <= b),
        "==": lambda c, b: int(c == b), "!=": lambda c, b: int(c != b),
        "&&": lambda c, b: int(bool(c and b)), "||": lambda c, b: int(bool(c or b)),
    }
    stack = []
    pop = lambda: stack.pop() if stack else 0  # noqa: E731
    for w in words:
        if isinstance(w, int):
            stack.append(w)
        elif w == "n":
            stack.append(n)
        elif w == "?:":
            b, c, d = pop(), pop(), pop()
            stack.append(c if d else b)
        else:
            b, c = pop(), pop()
            stack.append(ops[w](c, b))
    return stack[-1] if stack else 0


def conversions(s):
    """The printf conversions of s as a sorted list of kinds, positions dropped."""
    kinds = []
    for m in CONVERSION.finditer(s):
        if m.group(2) != "%":
            kinds.append(re.sub(r"^[-+ #0]*\d*(?:\.\d+)?", "", m.group(2)))
    return sorted(kinds)


def stray_percent(s):
    return "%" in CONVERSION.sub("", s)


def split_ws(s):
    core = s.strip()
    if not core:
        return s, ""
    start = s.index(core)
    return s[:start], s[start + len(core):]


def in_ranges(ch, ranges):
    o = ord(ch)
    return any(a <= o <= b for a, b in ranges)


def script_problems(locale, text):
    problems = []
    script = LOCALE_SCRIPT.get(locale)
    stripped = CONVERSION.sub("", text)
    if script is not None:
        for word in KEPT_LATIN:
            stripped = stripped.replace(word, "")
    letters = [c for c in stripped if unicodedata.category(c)[0] == "L"]
    expected = SCRIPTS[script] if script else LATIN
    foreign = [c for c in letters if not in_ranges(c, expected)]
    if foreign:
        problems.append("letters outside the %s script: %r" % (script or "latin", "".join(foreign)))
    if script is not None and text.strip() != PRODUCT and not letters:
        problems.append("no %s letters" % script)
    if locale == "zh-CN" and set(text) & TRADITIONAL_ONLY:
        problems.append("Traditional characters %r" % "".join(sorted(set(text) & TRADITIONAL_ONLY)))
    if locale in ("zh-TW", "zh-Hant", "zh-Hant-HK") and set(text) & SIMPLIFIED_ONLY:
        problems.append("Simplified characters %r" % "".join(sorted(set(text) & SIMPLIFIED_ONLY)))
    return problems


def parse_header(text):
    fields = {}
    for line in text.split("\n"):
        if ":" in line:
            k, v = line.split(":", 1)
            fields[k.strip()] = v.strip()
    return fields


def expected_rule_forms(locale):
    for group, names in RULE_GROUPS.items():
        if locale in names.split():
            if group == "arabic":
                return 6, ARABIC_FORMS, None
            if group == "slavic":
                return 3, EAST_SLAVIC_FORMS, None
            if group == "own":
                return OWN_RULE_FORMS[locale][0], OWN_RULE_FORMS[locale][1], None
            return (1 if group == "0" else 2), SHARED_RULE_FORMS[group], group
    return 2, SHARED_RULE_FORMS["n != 1"], "n != 1"


def run_msgfmt(path, mo):
    proc = subprocess.run(["msgfmt", "-c", "-o", mo, path], capture_output=True, text=True)
    problems = []
    if proc.returncode != 0 or proc.stderr.strip():
        problems.append("msgfmt -c: " + (proc.stderr.strip() or "exit %d" % proc.returncode))
    return problems


def check_compiled(mo_path, template, nplurals, want_forms):
    """Reads the compiled catalog the way the installer does and checks what it would see."""
    problems = []
    with open(mo_path, "rb") as f:
        data = f.read()
    if len(data) < 28:
        return ["compiled catalog shorter than its header"]
    magic, _, count, src_off, dst_off = struct.unpack_from("<5I", data, 0)
    if magic != 0x950412DE:
        return ["compiled catalog has magic %#x" % magic]
    if count != len(template) + 1:
        problems.append("compiled catalog holds %d entries, expected %d" % (count, len(template) + 1))
    entries = {}
    for i in range(count):
        pair = []
        for table in (src_off, dst_off):
            if table + 8 * i + 8 > len(data):
                return problems + ["compiled catalog table runs past its end"]
            length, offset = struct.unpack_from("<2I", data, table + 8 * i)
            if length > 4096 or offset + length > len(data):
                return problems + ["compiled string %d: %d bytes at %d do not fit" % (i, length, offset)]
            pair.append(data[offset:offset + length])
        entries[pair[0]] = pair[1]
    header = entries.get(b"")
    if header is None:
        return problems + ["compiled catalog has no header"]
    text = header.decode("utf-8")
    if "charset=UTF-8" not in text:
        problems.append("compiled header lacks charset=UTF-8")
    if "plural=" not in text:
        return problems + ["compiled header has no plural rule"]
    rule = text[text.index("plural=") + len("plural="):].split(";", 1)[0]
    try:
        words = compile_rule(rule)
        forms = tuple(evaluate_rule(words, c) for c in PROBE_COUNTS)
        if forms != want_forms:
            problems.append("rule as the installer reads it, %r, selects %s" % (rule, forms))
    except RuleError as e:
        problems.append("rule as the installer reads it, %r, does not compile: %s" % (rule, e))
    for mid, plural in template.items():
        key = (mid + ("\0" + plural if plural else "")).encode("utf-8")
        value = entries.get(key)
        if value is None:
            problems.append("compiled catalog lacks %r" % mid)
            continue
        forms = value.split(b"\0")
        if len(forms) != (nplurals if plural else 1):
            problems.append("compiled %r has %d forms" % (mid, len(forms)))
        for form in forms:
            try:
                form.decode("utf-8")
            except UnicodeDecodeError:
                problems.append("compiled %r is not UTF-8" % mid)
    return problems


def check_catalog(locale, path, template, tmpdir):
    mo_path = os.path.join(tmpdir, locale + ".mo")
    problems = run_msgfmt(path, mo_path)
    try:
        entries = parse_po(path)
    except ValueError as e:
        return problems + [str(e)]
    header = [e for e in entries if e["id"] == "" and "ctxt" not in e]
    if len(header) != 1:
        return problems + ["expected one header entry, found %d" % len(header)]
    fields = parse_header(header[0]["strs"].get(-1, ""))
    if fields.get("Content-Type") != "text/plain; charset=UTF-8":
        problems.append("Content-Type is %r" % fields.get("Content-Type"))
    if fields.get("Content-Transfer-Encoding") != "8bit":
        problems.append("Content-Transfer-Encoding is not 8bit")
    if fields.get("Language") != locale:
        problems.append("Language is %r" % fields.get("Language"))
    m = re.fullmatch(r"nplurals=(\d+);\s*plural=([^;]*);?", fields.get("Plural-Forms", ""))
    nplurals = None
    single_count_forms = set()  # forms the rule selects for one count only
    if not m:
        problems.append("Plural-Forms unreadable: %r" % fields.get("Plural-Forms"))
    else:
        nplurals, rule = int(m.group(1)), m.group(2)
        # The runtime takes the rule up to the first ";" or to the end of the
        # whole header, so a rule without ";" must be on the header's last line.
        raw = header[0]["strs"][-1]
        tail = raw[raw.index("plural=") + len("plural="):]
        if ";" not in tail and tail.strip() != rule.strip():
            problems.append("rule without ';' is not at the end of the header")
        want_n, want_forms, want_text = expected_rule_forms(locale)
        try:
            words = compile_rule(rule)
            forms = tuple(evaluate_rule(words, c) for c in PROBE_COUNTS)
            if forms != want_forms:
                problems.append("rule %r selects %s, expected %s" % (rule, forms, want_forms))
            selected = [evaluate_rule(words, c) for c in range(0, 2000)]
            used = set(selected)
            single_count_forms = {k for k in used if selected.count(k) == 1}
            if used != set(range(nplurals)):
                problems.append("rule selects forms %s but nplurals=%d" % (sorted(used), nplurals))
        except RuleError as e:
            problems.append("rule %r does not compile: %s" % (rule, e))
        if nplurals != want_n:
            problems.append("nplurals=%d, expected %d" % (nplurals, want_n))
        if want_text is not None and rule.strip() != want_text:
            problems.append("rule %r, expected %r" % (rule, want_text))

    seen = {}
    for e in entries:
        if e["id"] == "":
            continue
        if e["id"] in seen:
            problems.append("msgid %r repeated" % e["id"])
        seen[e["id"]] = e
    for mid in seen:
        if mid not in template:
            problems.append("msgid %r not in the template" % mid)
    translations = {}
    for mid, plural in template.items():
        e = seen.get(mid)
        if e is None:
            problems.append("msgid %r missing" % mid)
            continue
        if "fuzzy" in e["flags"]:
            problems.append("msgid %r is fuzzy" % mid)
        if e.get("plural") != plural:
            problems.append("msgid %r: plural msgid %r, expected %r" % (mid, e.get("plural"), plural))
        if plural is None:
            forms = [e["strs"].get(-1)] if list(e["strs"]) == [-1] else None
            if forms is None:
                problems.append("msgid %r: singular message with indexed msgstr" % mid)
                continue
            sources = [mid]
        else:
            indices = sorted(e["strs"])
            if nplurals is not None and indices != list(range(nplurals)):
                problems.append("msgid %r: forms %s, expected %d" % (mid, indices, nplurals))
                continue
            forms = [e["strs"][i] for i in indices]
            sources = [mid] + [plural] * (len(forms) - 1)
            if plural is not None and "c-format" not in e["flags"]:
                problems.append("msgid %r: c-format flag missing" % mid)
        translations[mid] = forms
        for k, (src, text) in enumerate(zip(sources, forms)):
            where = "msgid %r form %d" % (mid, k)
            if not text or not text.strip():
                problems.append(where + ": empty translation")
                continue
            if split_ws(text) != split_ws(src):
                problems.append(where + ": white space %r, expected %r"
                                % (split_ws(text), split_ws(src)))
            implied_count = plural is not None and k in single_count_forms and not conversions(text)
            if (conversions(text) != conversions(src) and not implied_count) or stray_percent(text):
                problems.append(where + ": conversions %s, expected %s"
                                % (conversions(text), conversions(src)))
            if src.count(PRODUCT) and PRODUCT not in text:
                problems.append(where + ": product name missing")
            if "\t" in text or "\r" in text or "\n" in text.strip():
                problems.append(where + ": control character inside the text")
            if len(text.encode("utf-8")) > 4096:
                problems.append(where + ": longer than 4,096 bytes")
            problems += [where + ": " + p for p in script_problems(locale, text)]

    if not problems and nplurals is not None:
        problems += check_compiled(mo_path, template, nplurals, expected_rule_forms(locale)[1])
    if len(translations) == len(template):
        # The progress window's status line is held in 255 bytes of UTF-8:
        # "Downloading" followed by the longest time-left text with a large count.
        downloading = translations["Downloading Zevrino..."][0]
        for mid in ("  %d second left", "  about %d minute left",
                    "Unable to download Zevrino... will try again in %d second"):
            for form in translations[mid]:
                shown = CONVERSION.sub("4294967295", form)
                if mid.startswith(" "):
                    shown = downloading + shown
                if len(shown.encode("utf-8")) > 255:
                    problems.append("status text %r exceeds 255 bytes" % shown)
        if locale == "en":
            # English shows its source texts unchanged.
            changed = [mid for mid, forms in translations.items()
                       if forms != [mid] + [template[mid]] * (len(forms) - 1)]
            if changed:
                problems.append("English differs from its source texts: %r" % changed)
        if locale not in ("en", "en-GB"):
            same = [mid for mid, forms in translations.items()
                    if mid != PRODUCT and forms[0] == mid]
            if same:
                problems.append("left in English: %r" % same)
    return problems, translations


def main():
    po_dir = sys.argv[1] if len(sys.argv) > 1 else os.path.dirname(os.path.abspath(__file__))
    failures = []
    template_entries = parse_po(os.path.join(po_dir, "zevrino.pot"))
    template = {e["id"]: e.get("plural") for e in template_entries if e["id"]}
    if len(template) != 29 or sum(1 for p in template.values() if p) != 3:
        failures.append("zevrino.pot: expected 29 messages with 3 plural pairs, found %d/%d"
                        % (len(template), sum(1 for p in template.values() if p)))
    present = sorted(f[:-3] for f in os.listdir(po_dir) if f.endswith(".po"))
    for extra in sorted(set(present) - set(LOCALES)):
        failures.append("%s.po: not an embedded locale" % extra)
    all_translations = {}
    with tempfile.TemporaryDirectory() as tmpdir:
        for locale in LOCALES:
            path = os.path.join(po_dir, locale + ".po")
            if not os.path.exists(path):
                failures.append("%s.po: missing" % locale)
                continue
            result = check_catalog(locale, path, template, tmpdir)
            problems, translations = result if isinstance(result, tuple) else (result, {})
            all_translations[locale] = translations
            failures += ["%s.po: %s" % (locale, p) for p in problems]
    for a, b, least in MUST_DIFFER:
        ta, tb = all_translations.get(a), all_translations.get(b)
        if ta and tb:
            differing = sum(1 for mid in ta if mid in tb and ta[mid] != tb[mid])
            if differing < least:
                failures.append("%s and %s differ in %d messages, expected at least %d"
                                % (a, b, differing, least))
    for f in failures:
        print(f)
    print("%d catalogs checked, %d problems" % (len(LOCALES), len(failures)))
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
