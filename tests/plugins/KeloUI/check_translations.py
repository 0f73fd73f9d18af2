#!/usr/bin/env python3
"""Fails when a user-interface text of the code, the forms or the QML views has no finished
English translation, or when a translation drops or invents a placeholder (%1, %p) of its source.
Translations of texts the code no longer has are listed; scripts/update-translations drops them.

usage: check_translations.py LUPDATE SOURCE_DIR TS_FILE

lupdate runs on a copy of the tracked file, so the checkout is never rewritten.
"""
import re
import shutil
import subprocess
import sys
import tempfile
import xml.etree.ElementTree as ET

PLACEHOLDER = re.compile(r'%(?:\d+|p|n|L\d+)')


def placeholders(text):
    return sorted(PLACEHOLDER.findall(text or ''))


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
    return 1 if (missing or broken) else 0


if __name__ == '__main__':
    sys.exit(main())
