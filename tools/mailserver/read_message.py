#!/usr/bin/python3
"""Reads one received message the way a mail client would, for the tests.

    read_message.py FOLDER

reads FOLDER/message.eml with Python's email package under its strict policy and writes what a
reader sees into files of FOLDER: subject, from, to, mdn (Disposition-Notification-To), headers
(the header names, one a line), body (the plain-text body), attachments (their count) and, for
the first attachment, attachment-name and attachment (its decoded bytes).
"""

import email
import email.policy
import pathlib
import sys


def main(folder):
    message = email.message_from_bytes((folder / "message.eml").read_bytes(),
                                       policy=email.policy.strict)

    def put(name, value):
        (folder / name).write_text("" if value is None else str(value), encoding="utf-8")

    put("subject", message["Subject"])
    put("from", message["From"])
    put("to", message["To"])
    put("mdn", message["Disposition-Notification-To"])
    put("headers", "\n".join(message.keys()))
    put("body", message.get_body(preferencelist=("plain",)).get_content())
    parts = list(message.iter_attachments())
    put("attachments", len(parts))
    if parts:
        put("attachment-name", parts[0].get_filename())
        (folder / "attachment").write_bytes(parts[0].get_content())


if __name__ == "__main__":
    main(pathlib.Path(sys.argv[1]))
