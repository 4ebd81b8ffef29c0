#!/usr/bin/env python3
"""Builds the data sections of the bundled cartridges from readable sources.

    cartdata.py build SOURCE.data CART.q7   rewrite CART.q7's sprite, flag,
                                            map, sound and music sections
    cartdata.py tokens CART.q7...           print the token count of each

The code (__lua__) and the label (__label__) of CART.q7 are kept as they
are; every other section is written from SOURCE.data. The source format:

    # a comment
    [sprite N]        rows of pixels, one character each (0-9, a-f; '.' is
                      0); 8 rows per sprite row, up to 128 columns, filling
                      the sheet cells from sprite N rightwards and down
    [pixels X Y]      rows of pixels of any size placed at pixel (X, Y) of
                      the sheet, for pictures that sspr draws
    [flags]           lines "SPRITE VALUE" or "FIRST-LAST VALUE"
    [legend]          lines "CHARACTER TILE" for the map rows below
                      ('.' and ' ' are tile 0 unless given)
    [map X Y]         rows of legend characters placed from cell (X, Y)
    [sfx N speed S]   note tokens, optionally "loop A B" after the speed
    [music]           lines "PATTERN FLAGS C0 C1 C2 C3": FLAGS is '-' or
                      letters l (loop start), b (loop back), s (stop); a
                      channel is a sound number or '-' for off

Note tokens: a name with octave (c2 is pitch 0, a4 is 440 Hz; '#' sharp,
'b' flat, as in c#3 or eb3) or pN for pitch N; '.' a rest; 'wN' sets the
waveform and 'iN' a custom instrument (sound N) for the notes after it;
'vN' the volume and 'fN' the effect. A note may carry its own settings
after a slash (e5/v3f1) and a repeat count after a star (c3*4).
"""
import re
import sys

NOTE_BASE = {'c': 0, 'd': 2, 'e': 4, 'f': 5, 'g': 7, 'a': 9, 'b': 11}
HEX = '0123456789abcdef'


class Cart:
    def __init__(self):
        self.gfx = [[0] * 128 for _ in range(128)]
        self.flags = [0] * 256
        self.map = [[0] * 128 for _ in range(32)]
        # sfx: [mode, speed, loop start, loop end, notes]; a note is
        # [pitch, waveform, volume, effect, custom]
        self.sfx = [[0, 1 if i == 0 else 16, 0, 0, [[0, 0, 0, 0, 0] for _ in range(32)]] for i in range(64)]
        self.music = [[0, 0x41, 0x42, 0x43, 0x44] for _ in range(64)]
        self.used = set()


def fail(where, text):
    sys.exit('%s: %s' % (where, text))


def parse_pitch(tok, where):
    if tok.startswith('p') and tok[1:].isdigit():
        p = int(tok[1:])
    else:
        m = re.fullmatch(r'([a-g])([#b]?)(\d)', tok)
        if not m:
            fail(where, 'bad note %r' % tok)
        p = NOTE_BASE[m.group(1)] + (1 if m.group(2) == '#' else -1 if m.group(2) == 'b' else 0)
        p += (int(m.group(3)) - 2) * 12
    if not 0 <= p <= 63:
        fail(where, 'note %r out of range' % tok)
    return p


def parse_notes(text, where):
    notes = []
    state = {'w': 0, 'v': 5, 'f': 0, 'i': None}
    for tok in text.split():
        m = re.fullmatch(r'([wvfi])([0-7])', tok)
        if m:
            k, n = m.group(1), int(m.group(2))
            if k == 'w':
                state['w'], state['i'] = n, None
            else:
                state[k] = n
            continue
        count = 1
        if '*' in tok:
            tok, c = tok.split('*')
            count = int(c)
        own = dict(state)
        if '/' in tok:
            tok, extra = tok.split('/')
            for k, n in re.findall(r'([wvfi])([0-7])', extra):
                own[k] = int(n)
                if k == 'w':
                    own['i'] = None
        if tok == '.':
            note = [0, 0, 0, 0, 0]
        else:
            pitch = parse_pitch(tok, where)
            custom = own['i'] is not None
            note = [pitch, own['i'] if custom else own['w'], own['v'], own['f'], 1 if custom else 0]
        notes.extend([list(note) for _ in range(count)])
    if len(notes) > 32:
        fail(where, '%d notes, at most 32' % len(notes))
    return notes + [[0, 0, 0, 0, 0] for _ in range(32 - len(notes))]


def number(text):
    return int(text, 0)


def read_source(path):
    cart = Cart()
    sections = []
    for lineno, line in enumerate(open(path), 1):
        line = line.rstrip('\n')
        if line.startswith('#'):
            continue
        if line.startswith('['):
            sections.append((line.strip('[] '), lineno, []))
        elif sections:
            sections[-1][2].append(line)
    legend = {'.': 0, ' ': 0}
    for head, lineno, body in sections:
        where = '%s:%d' % (path, lineno)
        words = head.split()
        kind = words[0]
        if kind == 'sprite':
            n = number(words[1])
            rows = [r.strip() for r in body if r.strip()]
            if len(set(map(len, rows))) != 1 or len(rows[0]) % 8 or len(rows) % 8:
                fail(where, 'sprite rows must be of one length, both sides a multiple of 8')
            x0, y0 = (n % 16) * 8, (n // 16) * 8
            for j, row in enumerate(rows):
                for i, ch in enumerate(row):
                    v = 0 if ch == '.' else HEX.index(ch)
                    if x0 + i >= 128 or y0 + j >= 128:
                        fail(where, 'sprite runs past the sheet')
                    cart.gfx[y0 + j][x0 + i] = v
            cart.used.add('gfx')
        elif kind == 'pixels':
            x0, y0 = number(words[1]), number(words[2])
            rows = [r.strip() for r in body if r.strip()]
            for j, row in enumerate(rows):
                for i, ch in enumerate(row):
                    if x0 + i >= 128 or y0 + j >= 128:
                        fail(where, 'picture runs past the sheet')
                    cart.gfx[y0 + j][x0 + i] = 0 if ch == '.' else HEX.index(ch)
            cart.used.add('gfx')
        elif kind == 'flags':
            for row in body:
                if not row.strip():
                    continue
                span, value = row.split()
                a, _, b = span.partition('-')
                for s in range(number(a), number(b or a) + 1):
                    cart.flags[s] = number(value)
            cart.used.add('gff')
        elif kind == 'legend':
            for row in body:
                if row.strip():
                    ch, tile = row.split()
                    legend[ch] = number(tile)
        elif kind == 'map':
            x0, y0 = number(words[1]), number(words[2])
            rows = [r for r in body if r.strip()]
            if len(set(map(len, rows))) != 1:
                fail(where, 'map rows must be of one length')
            for j, row in enumerate(rows):
                for i, ch in enumerate(row):
                    if ch not in legend:
                        fail(where, 'no legend for %r' % ch)
                    if x0 + i >= 128 or y0 + j >= 32:
                        fail(where, 'map runs past rows 0-31')
                    cart.map[y0 + j][x0 + i] = legend[ch]
            cart.used.add('map')
        elif kind == 'sfx':
            n = number(words[1])
            rec = cart.sfx[n]
            rec[1] = number(words[words.index('speed') + 1])
            if 'loop' in words:
                k = words.index('loop')
                rec[2], rec[3] = number(words[k + 1]), number(words[k + 2])
            rec[4] = parse_notes(' '.join(body), where)
            cart.used.add('sfx')
        elif kind == 'music':
            for row in body:
                if not row.strip():
                    continue
                parts = row.split()
                p, flags, chans = number(parts[0]), parts[1], parts[2:6]
                bits = 0 if flags == '-' else sum({'l': 1, 'b': 2, 's': 4}[c] for c in flags)
                vals = [(0x41 + c) if v == '-' else number(v) for c, v in enumerate(chans)]
                cart.music[p] = [bits] + vals
            cart.used.add('music')
        else:
            fail(where, 'unknown section %r' % kind)
    return cart


def split_q7(path):
    """The header lines, the code and the label lines of a .q7 file."""
    lines = open(path).read().split('\n')
    head, code, label, section = lines[:2], [], [], None
    for line in lines[2:]:
        if line.startswith('__') and line.rstrip().endswith('__') and len(line.strip()) in (7, 9):
            section = line.strip()
            continue
        if section == '__lua__':
            code.append(line)
        elif section == '__label__' and line:
            label.append(line)
    while code and code[-1] == '':
        code.pop()
    return head, code, label


def write_q7(path, cart):
    head, code, label = split_q7(path)
    out = head + ['__lua__'] + code
    # the label follows the sprite sheet as the console saves it, or, with
    # no sprite sheet, comes after an empty line (where cart-snap puts it)
    if 'gfx' in cart.used:
        out.append('__gfx__')
        out += [''.join(HEX[v] for v in row) for row in cart.gfx]
        out += (['__label__'] + label if label else []) + ['']
    else:
        out += [''] + (['__label__'] + label if label else [])
    if 'gff' in cart.used:
        out.append('__gff__')
        out += [''.join('%02x' % f for f in cart.flags[k:k + 128]) for k in (0, 128)]
    if 'map' in cart.used:
        out.append('__map__')
        out += [''.join('%02x' % v for v in row) for row in cart.map]
    if 'sfx' in cart.used:
        out.append('__sfx__')
        for mode, speed, ls, le, notes in cart.sfx:
            line = '%02x%02x%02x%02x' % (mode, speed, ls, le)
            for p, w, v, f, c in notes:
                line += '%02x%x%x%x' % (p, w + (8 if c else 0), v, f)
            out.append(line)
    if 'music' in cart.used:
        out.append('__music__')
        out += ['%02x %02x%02x%02x%02x' % tuple(m) for m in cart.music]
    out.append('')
    with open(path, 'w') as f:
        f.write('\n'.join(out) + '\n')


# Token counting as the console does it: every token counts 1 except
# comments, line ends, 'local', 'end' and the closing and separating
# characters ; ) } ] . , :
FREE_CHARS = set(';)}],.:')


def long_bracket_end(text, i):
    """Index just past the ]] that closes the [[ at i (nested pairs
    counted), or None when it is never closed."""
    depth, n = 0, len(text)
    while i < n:
        if text.startswith('[[', i):
            depth += 1
            i += 2
        elif text.startswith(']]', i):
            depth -= 1
            i += 2
            if depth == 0:
                return i
        else:
            i += 1
    return None


def count_tokens(text):
    i, n, count = 0, len(text), 0
    while i < n:
        c = text[i]
        if c in ' \t\r\b':
            i += 1
        elif text.startswith('--', i):
            if text.startswith('--[[', i):
                j = long_bracket_end(text, i + 2)
                if j is not None:
                    i = j
                    continue
            while i < n and text[i] != '\n':
                i += 1
        elif c == '\n':
            i += 1
        elif c.isalpha() or c == '_' or ord(c) > 127:
            j = i
            while j < n and (text[j].isalnum() or text[j] == '_' or ord(text[j]) > 127):
                j += 1
            if text[i:j] not in ('local', 'end'):
                count += 1
            i = j
        elif c.isdigit():
            j = i + 1
            if j < n and text[j] in 'bx.':
                j += 1
            kind = text[i + 1] if i + 1 < n else ''
            allowed = '01.' if kind == 'b' else '0123456789abcdef.' if kind == 'x' else '0123456789.'
            while j < n and text[j] in allowed:
                j += 1
            count += 1
            i = j
        elif text.startswith('[[', i):
            j = long_bracket_end(text, i)
            count += 1
            i = n if j is None else j
        elif c in '"\'':
            j = i + 1
            while j < n and text[j] != '\n' and not (text[j] == c and text[j - 1] != '\\'):
                j += 1
            if j < n and text[j] == c:
                j += 1
            count += 1
            i = j
        elif text.startswith('//', i):
            while i < n and text[i] != '\n':
                i += 1
        elif text[i:i + 2] in ('<=', '<>', '>=', '~=', '!=', '==', '..', '+=', '-=', '*=', '/=', '%='):
            count += 1
            i += 2
        else:
            if c not in FREE_CHARS:
                count += 1
            i += 1
    return count


def main(argv):
    if len(argv) == 4 and argv[1] == 'build':
        write_q7(argv[3], read_source(argv[2]))
    elif len(argv) >= 3 and argv[1] == 'tokens':
        for path in argv[2:]:
            _, code, _ = split_q7(path)
            print('%5d %s' % (count_tokens('\n'.join(code)), path))
    else:
        sys.exit(__doc__)


if __name__ == '__main__':
    main(sys.argv)
