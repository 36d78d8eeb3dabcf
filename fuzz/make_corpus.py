#!/usr/bin/python3
"""Writes the seed corpora under fuzz/corpus/<target>/: small, hand-made,
valid inputs that show each fuzz target the shape of what it decodes. The
fuzzers mutate from there. Run again after changing a seed; the output is
the same every time."""
import json
import os
import struct

HERE = os.path.dirname(os.path.abspath(__file__))
ENVELOPE = [0xF0, 0x00, 0x02, 0x33]


def sysex(kind, *payload):
    return bytes(ENVELOPE + [kind] + list(payload) + [0xF7])


def pair(value):
    """A 7-bit pair, high group first; -1 travels as 0x7F 0x7F."""
    value &= 0x3FFF
    return [value >> 7, value & 0x7F]


def count5(value):
    """A five-group count, low group first."""
    return [(value >> (7 * i)) & 0x7F for i in range(5)]


def packed(data):
    """Groups of eight bytes carrying seven: the high bits first, 0x40 for the
    first data byte down to 0x01 for the seventh."""
    out = []
    for start in range(0, len(data), 7):
        chunk = data[start:start + 7]
        high = 0
        for i, b in enumerate(chunk):
            if b & 0x80:
                high |= 0x40 >> i
        out += [high] + [b & 0x7F for b in chunk]
    return out


def track_block(state, level, pan, feedback, length, position):
    return [state, level, pan, feedback] + count5(length) + count5(position)


STATUS = sysex(0x02, 4, 2,
               *track_block(4, 6, 0x40, 0x10, 96000, 16),
               *track_block(3, 0, 0x7F, 0, 48000, 0),
               *track_block(1, 12, 0x00, 0x7F, 0, 0),
               *track_block(0, 0, 0x40, 0, 0, 0))
LOG = sysex(0x03, *b"looper booted\n")
INFO = sysex(0x17, *b"QX2 1.2", 0x00)
EFFECTS = sysex(0x09, 0x08, *pair(5), *pair(-1), *([0, 0] * 6), *pair(200), *([0x7F, 0x7F] * 7))
BUTTON_ONE = sysex(0x0F, *pair(0), 1, *pair(7), *pair(-1), *([0, 0] * 6))
BUTTON_EIGHT = sysex(0x0F, *pair(136), 8, *sum(([*pair(k), *pair(-1)] + [0, 0] * 6 for k in range(8)), []))
SLICE0 = sysex(0x15, 0x00, *packed(bytes(range(133))))
SLICE72 = sysex(0x15, 0x48, *packed(bytes(133 - i for i in range(133))))
BUTTON_EVENT = sysex(0x18, 1, 64, 0)
assert (len(STATUS), len(EFFECTS), len(BUTTON_ONE), len(BUTTON_EIGHT), len(SLICE0), len(BUTTON_EVENT)) == \
    (64, 39, 25, 137, 159, 9)

STATUS_REQUEST = sysex(0x02)


def compact_status(tracks, selected):
    """The 232-byte network status report: mark, n, then seven arrays of eight
    big-endian words."""
    words = [48000, len(tracks)]
    columns = list(zip(*tracks)) if tracks else [()] * 6
    for column in columns:
        words += list(column) + [0] * (8 - len(tracks))
    words += [1 if i + 1 == selected else 0 for i in range(8)]
    return struct.pack(">58I", *words)


def write(target, name, data, kind=""):
    folder = os.path.join(HERE, "corpus", kind, target)
    os.makedirs(folder, exist_ok=True)
    with open(os.path.join(folder, name), "wb") as f:
        f.write(data)


def midi_reassembly():
    cuts = struct.pack("<I", 12345)
    write("midi_reassembly", "one_request", cuts + STATUS_REQUEST)
    write("midi_reassembly", "status_report", cuts + STATUS)
    write("midi_reassembly", "two_in_a_row", cuts + LOG + INFO)
    write("midi_reassembly", "interrupted_by_f0", cuts + STATUS[:20] + EFFECTS)
    write("midi_reassembly", "clock_inside", cuts + STATUS[:10] + bytes([0xF8]) + STATUS[10:] + BUTTON_EVENT)
    write("midi_reassembly", "lone_end", cuts + bytes([0xF7, 0x12, 0xF7]))


def handle_sysex():
    every = STATUS + LOG + INFO + EFFECTS + BUTTON_ONE + BUTTON_EIGHT + SLICE0 + SLICE72 + BUTTON_EVENT
    write("handle_sysex", "status", bytes([0x00]) + STATUS)
    write("handle_sysex", "status_after_silence", bytes([0x05]) + STATUS + STATUS)
    write("handle_sysex", "every_reply", bytes([0x00]) + every)
    write("handle_sysex", "settings_slices", bytes([0x00]) + SLICE0 + SLICE72)
    write("handle_sysex", "buttons", bytes([0x00]) + BUTTON_ONE + BUTTON_EIGHT + BUTTON_EVENT)
    write("handle_sysex", "effects", bytes([0x00]) + EFFECTS)
    write("handle_sysex", "info_text", bytes([0x00]) + INFO)
    # A datagram: the whole rest is one message, an 0xF7 inside included.
    write("handle_sysex", "log_datagram", bytes([0x10]) + LOG[:-1] + bytes([0xF7, 0x41, 0xF7]))
    write("handle_sysex", "foreign_envelope", bytes([0x00, 0xF0, 0x00, 0x02, 0x34, 0x02, 0xF7]))


def upgrade_file():
    first = bytes([0xF0] + [0x01] * 8 + [0xF7])
    second = bytes([0xF0] + [i % 0x80 for i in range(198)] + [0xF7])
    write("upgrade_file", "two_messages", first + second)
    write("upgrade_file", "one_message", first)
    write("upgrade_file", "longest_message", bytes([0xF0] + [0x55] * 254 + [0xF7]))


def config_file():
    mappings = {str(code): [code % 7 - 1] + [0] * 7 for code in range(384)}
    full = {"MIDIButtons": mappings, "QX2Effects1": [1, 2, 3, 4, 5, 6, 7, -1], "QX2Effects2": []}
    write("config_file", "full", json.dumps(full, separators=(",", ":")).encode())
    small = {"MIDIButtons": {"0": [7, -1, 0, 0, 0, 0, 0, 0], "12": [1, 2, -1, 0, 0, 0, 0, 0],
                             "abc": [1] * 8, "-3": [1] * 8, "400": [1] * 8},
             "QX2Effects1": [], "QX2Effects2": []}
    write("config_file", "small", json.dumps(small, separators=(",", ":")).encode())
    write("config_file", "not_an_object", b"[1,2,3]")
    # Known reproducers, run once by scripts/fuzz.sh before fuzzing. A member
    # value nested 100,000 arrays deep (200 KB): the refusal that says why it
    # is not a list of numbers must not print the value back recursively.
    depth = 100000
    write("config_file", "deeply_nested_member",
          b'{"MIDIButtons":{"0":[' + b"[" * depth + b"]" * depth + b"]}}", kind="regressions")


def config_replies():
    write("config_replies", "effects", EFFECTS)
    write("config_replies", "eight_buttons", BUTTON_EIGHT)
    blocks = b"".join(sysex(0x0F, *pair(first), 8, *([0, 0] * 64)) for first in range(0, 384, 8))
    write("config_replies", "every_block_and_effects", EFFECTS + blocks)
    write("config_replies", "past_the_last_button", sysex(0x0F, *pair(380), 8, *([0, 0] * 64)))


def net_datagram():
    write("net_datagram", "compact_status",
          compact_status([(3, 96000, 16, 10, 64, 16), (4, 48000, 100, 0, 0, 0),
                          (0, 0, 0, 0, 0, 0), (1, 0, 0, 0, 0, 0)], 1))
    write("net_datagram", "log_reply", b"<log>abc</log>\x00")
    write("net_datagram", "short_log_reply", b"<log>ab</log>")
    write("net_datagram", "identity_reply", b"<id>Unit7</id>")
    write("net_datagram", "sysex_status", STATUS)
    write("net_datagram", "sysex_slice", SLICE0)


def net_upgrade():
    silence, looper, stranger, ack, start = 0, 1, 2, 3, 4
    # 1,000 bytes: the start request, then the two slices acknowledged.
    write("net_upgrade", "two_slices", bytes([0x03, 0xE8, start, ack, ack]))
    # 1,024 bytes with a late acknowledgement, a silent second and a restart.
    write("net_upgrade", "late_ack_and_restart",
          bytes([0x04, 0x00, start, looper, 4, 0x00, 0x04, 0x00, 0x05, silence, ack, start, ack, ack]))
    write("net_upgrade", "silent_looper", bytes([0x10, 0x00, start, silence, silence, silence, silence, silence]))
    write("net_upgrade", "stranger", bytes([0x02, 0x00, start, stranger, 4, 0x00, 0x04, 0x00, 0x01, ack]))
    write("net_upgrade", "empty_file", bytes([0x00, 0x00, start, ack]))


def session_stream():
    """Records for one long-lived session: kind byte, then its operands."""
    midi, datagram, time, drain, edit, transfer, answer, flood = range(8)

    def sized(kind, data, *before):
        return bytes([kind, *before]) + struct.pack("<H", len(data)) + data

    def polled(cycles, how=0):
        """A step of 70 ms, then the looper answers what it was asked."""
        return bytes([time, 6, answer, how]) * cycles

    write("session_stream", "looper_answers", polled(40) + bytes([drain]))
    write("session_stream", "answers_over_the_network", polled(40, how=1) + bytes([drain]))
    # A save the looper answers in full, then a restore of the saved file
    # while the looper reports other mappings: the restore writes them back.
    write("session_stream", "save_then_restore",
          polled(10) + bytes([transfer, 0]) + polled(120) + bytes([time, 255, drain, transfer, 2]) + polled(520, how=2) +
          bytes([drain]))
    write("session_stream", "save_cancelled", polled(5) + bytes([transfer, 0]) + polled(5) + bytes([transfer, 1]))
    # Floods: configuration replies while a save reads, log text past the
    # log's limit, a SysEx message that never ends.
    write("session_stream", "reply_flood_during_save",
          polled(5) + bytes([transfer, 0]) + sized(flood, EFFECTS + BUTTON_EIGHT, 255) + polled(5) + bytes([drain]))
    write("session_stream", "log_flood", sized(flood, sysex(0x03, *(b"line of looper log text\n" * 6)), 255) +
          bytes([drain]))
    write("session_stream", "endless_sysex",
          sized(midi, bytes([0xF0, 0x00, 0x02, 0x33])) + sized(flood, bytes(range(0x00, 0x80)) * 32, 31) +
          sized(midi, STATUS))
    write("session_stream", "every_reply_over_midi",
          sized(midi, STATUS + LOG + INFO + EFFECTS + BUTTON_ONE + BUTTON_EIGHT + SLICE0 + SLICE72 + BUTTON_EVENT) +
          bytes([time, 49, drain]))
    write("session_stream", "datagrams",
          sized(datagram, compact_status([(3, 96000, 16, 10, 64, 16), (4, 48000, 100, 0, 0, 0)], 1)) +
          sized(datagram, b"<log>abc</log>\x00") + sized(datagram, b"<id>Unit7</id>") + sized(datagram, STATUS) +
          bytes([drain]))
    # The user's picks on every tab, sent by the edit ticks while the looper answers.
    picks = bytes([edit, 0, 0, 40, edit, 0, 4, 9, edit, 1, 1, 12, edit, 2, 3, 20, edit, 3, 1, 5, edit, 3, 2, 7,
                   edit, 4, 1, 0, edit, 5, 0, 0, edit, 6, 0, 0, edit, 7, 0, 0])
    write("session_stream", "edits", polled(5) + picks + polled(30) + bytes([drain]))
    # Log replies over the network, 292 KB of three-byte characters before the
    # UI thread takes them: the text waiting is cut to the log's limit inside
    # a character, and the log, empty at start, must not begin with its rest.
    reply = b"<log>" + "\u20ac".encode() * 678 + b"</log>\x00"
    write("session_stream", "log_cut_inside_a_character", sized(flood, reply, 0x80 | 8) + bytes([drain]),
          kind="regressions")
    # A looper that goes silent: MIDI gives up, the network side hands it back.
    write("session_stream", "silence_and_return",
          polled(5) + bytes([time, 255]) * 12 + polled(10) + bytes([drain]))


midi_reassembly()
handle_sysex()
upgrade_file()
config_file()
config_replies()
net_datagram()
net_upgrade()
session_stream()
