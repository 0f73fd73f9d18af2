#!/usr/bin/env python3
"""Fails when a user-interface text of the code, the forms or the QML views has no finished
English translation, or when a translation drops or invents a placeholder (%1, %p) of its source.
Translations of texts the code no longer has are listed; scripts/update-translations drops them.

It also fails when a log line that the status panel shows cannot be shown in English: a Chinese
text handed to the logger that is not marked QT_TRANSLATE_NOOP / QT_TR_NOOP (the panel shows it
as it is), or one translated with tr() before the logger gets it (the log file would then be in
the interface's language), in the call itself or through a variable of the same function that a
tr() text went into. The logger itself writes no tr() text into its file.

usage: check_translations.py LUPDATE SOURCE_DIR TS_FILE

lupdate runs on a copy of the tracked file, so the checkout is never rewritten.
"""
import os
import re
import shutil
import subprocess
import sys
import tempfile
import xml.etree.ElementTree as ET

PLACEHOLDER = re.compile(r'%(?:\d+|p|n|L\d+)')


def placeholders(text):
    return sorted(PLACEHOLDER.findall(text or ''))


# Calls that hand a text to the logger.
LOG_CALL = re.compile(r'\b(?:FileLogger::LogMessage|emit\s+PrintSystemLog|slot_LogMessage)\s*\(')
MARKED = re.compile(r'\b(?:QT_TRANSLATE_NOOP\s*\(\s*"[^"]*"\s*,|QT_TR_NOOP\s*\()\s*$')
TRANSLATED_NOW = re.compile(r'(?<![\w:])(?:\w+::)?tr\s*\(')
NON_ASCII = re.compile(r'[^\x00-\x7f]')


def strip_comments(code):
    """The code with comments blanked (string literals kept), so offsets stay."""
    out, i, n = [], 0, len(code)
    while i < n:
        c = code[i]
        if c in '"\'':
            j = i + 1
            while j < n and code[j] != c:
                j += 2 if code[j] == '\\' else 1
            out.append(code[i:j + 1])
            i = j + 1
        elif code.startswith('//', i):
            j = code.find('\n', i)
            j = n if j < 0 else j
            out.append(' ' * (j - i))
            i = j
        elif code.startswith('/*', i):
            j = code.find('*/', i + 2)
            j = n if j < 0 else j + 2
            out.append(re.sub(r'[^\n]', ' ', code[i:j]))
            i = j
        else:
            out.append(c)
            i += 1
    return ''.join(out)


def call_arguments(code, start):
    """The text between the '(' at `start` and its matching ')'."""
    depth, i = 0, start
    while i < len(code):
        c = code[i]
        if c in '"\'':
            j = i + 1
            while j < len(code) and code[j] != c:
                j += 2 if code[j] == '\\' else 1
            i = j + 1
            continue
        if c == '(':
            depth += 1
        elif c == ')':
            depth -= 1
            if depth == 0:
                return code[start + 1:i]
        i += 1
    return code[start + 1:]


IDENTIFIER = re.compile(r'(?<![\w.>:])([A-Za-z_]\w*)\b(?!\s*(?:\(|::))')


def function_before(code, pos):
    """The code of the function the offset is in, up to it: functions here end with a '}' at the
    start of a line."""
    end = code.rfind('\n}', 0, pos)
    return code[end + 2 if end >= 0 else 0:pos]


def translated_variables(body, names, depth=3):
    """The names among `names` that a statement of `body` gives a tr() text, directly or through
    another such variable."""
    found = set()
    for name in names:
        for statement in re.finditer(r'\b%s\s*(?:\+?=|\{|\()([^;]*)' % re.escape(name), body):
            value = statement.group(1)
            if TRANSLATED_NOW.search(value):
                found.add(name)
                break
            # What a call makes of its arguments is its own text, not theirs.
            while True:
                bare = re.sub(r'\([^()]*\)', '', value)
                if bare == value:
                    break
                value = bare
            others = set(IDENTIFIER.findall(value)) - {name}
            if depth > 0 and translated_variables(body, others, depth - 1):
                found.add(name)
                break
    return found


def untranslatable_log_texts(source_dir):
    found = []
    for root, _, files in os.walk(source_dir):
        for name in sorted(files):
            if not name.endswith(('.cpp', '.h')):
                continue
            path = os.path.join(root, name)
            rel = os.path.relpath(path, source_dir).replace(os.sep, '/')
            with open(path, encoding='utf-8') as f:
                code = strip_comments(f.read())
            if rel.startswith('plugins/core/FileLogger.') or rel.startswith('plugins/core/LogText.'):
                # Its notices are marked texts translated for the panel only.
                for call in TRANSLATED_NOW.finditer(code):
                    line = code.count('\n', 0, call.start()) + 1
                    found.append('%s:%d: the logger translates a text with tr()' % (rel, line))
                continue
            for call in LOG_CALL.finditer(code):
                args = call_arguments(code, call.end() - 1)
                line = code.count('\n', 0, call.start()) + 1
                where = '%s:%d' % (rel, line)
                if TRANSLATED_NOW.search(args):
                    found.append('%s: translated with tr() before it reaches the log file' % where)
                for name in sorted(translated_variables(function_before(code, call.start()),
                                                        set(IDENTIFIER.findall(args)))):
                    found.append('%s: %s holds a text translated with tr() before it reaches the log file'
                                 % (where, name))
                for literal in re.finditer(r'"(?:[^"\\]|\\.)*"', args):
                    # A literal continued from the one before it is marked with it.
                    before = re.sub(r'(?:"(?:[^"\\]|\\.)*"\s*)+$', '', args[:literal.start()])
                    if NON_ASCII.search(literal.group()) and not MARKED.search(before):
                        found.append('%s: %s is not marked QT_TRANSLATE_NOOP("FileLogger", ...)' % (where, literal.group()))
    return found


def main():
    lupdate, source_dir, ts_file = sys.argv[1:4]
    with tempfile.TemporaryDirectory() as tmp:
        copy = tmp + '/refreshed.ts'
        shutil.copyfile(ts_file, copy)
        run = subprocess.run([lupdate, '-locations', 'none', source_dir, '-ts', copy],
                             stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True)
        if run.returncode != 0 or "won't be updated" in run.stdout:
            print(run.stdout)
            print('lupdate could not refresh a copy of', ts_file)
            return 1
        root = ET.parse(copy).getroot()

    missing, stale, broken = [], [], []
    for context in root.iter('context'):
        name = context.findtext('name')
        for message in context.iter('message'):
            source = message.findtext('source')
            translation = message.find('translation')
            kind = translation.get('type')
            where = '%s: %r' % (name, source)
            if kind in ('vanished', 'obsolete'):
                stale.append(where)
                continue
            forms = [f.text for f in translation.iter('numerusform')] if message.get('numerus') == 'yes' \
                else [translation.text]
            if kind == 'unfinished' or not forms or any(not f for f in forms):
                missing.append(where)
                continue
            for form in forms:
                if placeholders(form) != placeholders(source):
                    broken.append('%s -> %r' % (where, form))

    for title, items in (('texts without a finished English translation', missing),
                         ('translations of texts the code no longer has', stale),
                         ('translations whose placeholders differ from their source', broken)):
        if items:
            print('%d %s (%s):' % (len(items), title, ts_file))
            for item in items:
                print('  ' + item)
    if missing or stale:
        print('Run scripts/update-translations, then translate what is unfinished.')
    unshown = untranslatable_log_texts(source_dir)
    if unshown:
        print('%d log texts the status panel cannot show in English:' % len(unshown))
        for item in unshown:
            print('  ' + item)
    return 1 if (missing or broken or unshown) else 0


if __name__ == '__main__':
    sys.exit(main())
