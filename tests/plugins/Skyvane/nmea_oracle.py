#!/usr/bin/env python3
"""Expected decoding of real NMEA sentences, by Debian's pynmea2.

Reads the GGA, RMC and GSV sentences quoted in the files given as arguments (the test
files of go-nmea, pynmea2's README) and prints one JSON object per distinct sentence:
  {"sentence": text, "talker": "GP", "type": "GGA", "valid": checksum accepted by pynmea2,
   "fields": [field values: number (Python float), "" (empty) or null (not a number)],
   "first": [first character of each field, "" when empty]}
"""
import json
import re
import sys

import pynmea2

PATTERN = re.compile(r'\$[A-Z]{2}(?:GGA|RMC|GSV),[^"\s`\\]*\*[0-9A-Fa-f]{2}')


def number(text):
    try:
        return float(text)
    except ValueError:
        return None


def main():
    seen = []
    for path in sys.argv[1:]:
        with open(path, encoding="utf-8", errors="replace") as f:
            for s in PATTERN.findall(f.read()):
                if s not in seen:
                    seen.append(s)
    for s in seen:
        try:
            msg = pynmea2.parse(s, check=True)
            valid, data, talker, kind = True, msg.data, msg.talker, msg.sentence_type
        except pynmea2.ChecksumError as e:
            # pynmea2 still reports the fields it split off a sentence it rejects.
            valid, data, talker, kind = False, e.args[0][1], s[1:3], s[3:6]
        except pynmea2.ParseError:
            continue
        fields = [("" if d == "" else number(d)) for d in data]
        first = [d[:1] for d in data]
        print(json.dumps({"sentence": s, "talker": talker, "type": kind,
                          "valid": valid, "fields": fields, "first": first}))


if __name__ == "__main__":
    main()
