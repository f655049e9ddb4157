#!/usr/bin/env python3
"""Makes every asset of the demo game: sprites (PNG), sound effects (WAV), the
title song (a four-channel tracker module) and the in-game song (MIDI).

Only the standard library is used, and every byte comes from the arithmetic
below, so running it again gives the same files:

    python3 examples/game/assets/make_assets.py [OUTPUT_DIR]
"""
import math
import os
import random
import struct
import sys
import wave
import zlib

OUT = sys.argv[1] if len(sys.argv) > 1 else os.path.dirname(os.path.abspath(__file__))


# ---------------------------------------------------------------- pictures

def write_png(name, width, height, pixel):
    """pixel(x, y) -> (r, g, b); black is the runtime's mask colour."""
    rows = bytearray()
    for y in range(height):
        rows.append(0)  # filter: none
        for x in range(width):
            rows.extend(bytes(max(0, min(255, int(c))) for c in pixel(x, y)))

    def chunk(kind, data):
        return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data) & 0xFFFFFFFF)

    png = b"\x89PNG\r\n\x1a\n"
    png += chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 2, 0, 0, 0))
    png += chunk(b"IDAT", zlib.compress(bytes(rows), 9))
    png += chunk(b"IEND", b"")
    with open(os.path.join(OUT, name), "wb") as f:
        f.write(png)


def inside_polygon(px, py, points):
    hit = False
    j = len(points) - 1
    for i in range(len(points)):
        xi, yi = points[i]
        xj, yj = points[j]
        if (yi > py) != (yj > py) and px < (xj - xi) * (py - yi) / (yj - yi) + xi:
            hit = not hit
        j = i
    return hit


def ship_pixel(body, trim):
    hull = [(16, 1), (22, 14), (30, 20), (30, 23), (20, 20), (12, 20), (2, 23), (2, 20), (10, 14)]
    cockpit = [(16, 6), (18.5, 13), (13.5, 13)]

    def pixel(x, y):
        cx, cy = x + 0.5, y + 0.5
        if inside_polygon(cx, cy, cockpit):
            return (200, 240, 255)
        if inside_polygon(cx, cy, hull):
            shade = 0.65 + 0.35 * (1 - abs(cx - 16) / 16)
            if 20 <= cy < 21.5 and abs(cx - 16) > 5:
                return trim
            return tuple(c * shade for c in body)
        if 21 <= cy < 24 and abs(cx - 16) < 3:  # engine flame
            return (255, 170 + 20 * (y - 21), 40)
        return (0, 0, 0)

    return pixel


def rock_strip(frames=8, size=32):
    rng = random.Random(14)
    lumps = [(rng.uniform(0.05, 0.14), rng.randint(2, 6), rng.uniform(0, math.tau)) for _ in range(4)]
    craters = [(rng.uniform(0, math.tau), rng.uniform(0.15, 0.6), rng.uniform(0.12, 0.2)) for _ in range(4)]
    radius = size / 2 - 2

    def pixel(x, y):
        frame, fx = divmod(x, size)
        angle = frame * math.tau / frames
        dx, dy = fx + 0.5 - size / 2, y + 0.5 - size / 2
        r = math.hypot(dx, dy)
        theta = math.atan2(dy, dx) - angle
        edge = radius * (1 - sum(a * (0.5 + 0.5 * math.sin(k * theta + p)) for a, k, p in lumps))
        if r > edge:
            return (0, 0, 0)
        light = 0.55 + 0.45 * max(0.0, (-dx - dy) / (1.5 * radius))
        for ca, cd, cr in craters:
            ox = math.cos(ca + angle) * cd * radius
            oy = math.sin(ca + angle) * cd * radius
            if math.hypot(dx - ox, dy - oy) < cr * radius:
                light *= 0.6
        return (150 * light + 10, 120 * light + 8, 95 * light + 6)

    return pixel


def boom_strip(frames=6, size=32):
    rng = random.Random(6)
    sparks = [(rng.uniform(0, math.tau), rng.uniform(0.5, 1.0)) for _ in range(28)]

    def pixel(x, y):
        frame, fx = divmod(x, size)
        t = (frame + 1) / frames
        dx, dy = fx + 0.5 - size / 2, y + 0.5 - size / 2
        r = math.hypot(dx, dy)
        ring = 14 * t
        fade = 1 - 0.7 * t
        if abs(r - ring) < 2.2 - 1.2 * t:
            return (255 * fade, 220 * fade * (1 - t) + 60, 80 * (1 - t))
        for a, speed in sparks:
            sx, sy = math.cos(a) * speed * ring, math.sin(a) * speed * ring
            if math.hypot(dx - sx, dy - sy) < 1.3:
                return (255, 240 * fade, 120 * fade)
        if r < 6 * (1 - t):
            return (255, 255, 200)
        return (0, 0, 0)

    return pixel


def bullet_pixel(x, y):
    glow = 1 - abs(x + 0.5 - 2) / 2
    return (255 * glow + 40, 240 * glow + 30, 90 * glow) if glow > 0.2 else (0, 0, 0)


def pictures():
    write_png("ship.png", 32, 24, ship_pixel((90, 200, 255), (255, 80, 80)))
    write_png("ship2.png", 32, 24, ship_pixel((255, 170, 60), (120, 255, 120)))
    write_png("rock.png", 32 * 8, 32, rock_strip())
    write_png("boom.png", 32 * 6, 32, boom_strip())
    write_png("bullet.png", 4, 12, bullet_pixel)


# ---------------------------------------------------------------- sounds

RATE = 22050


def write_wav(name, samples):
    with wave.open(os.path.join(OUT, name), "wb") as w:
        w.setnchannels(1)
        w.setsampwidth(2)
        w.setframerate(RATE)
        w.writeframes(b"".join(struct.pack("<h", max(-32767, min(32767, int(s * 32767)))) for s in samples))


def sounds():
    rng = random.Random(99)
    n = int(RATE * 0.18)
    phase, shot = 0.0, []
    for i in range(n):  # a falling square chirp
        t = i / n
        phase += (1400 - 1000 * t) / RATE
        shot.append((0.45 if phase % 1 < 0.5 else -0.45) * (1 - t))
    write_wav("shoot.wav", shot)

    n = int(RATE * 0.6)
    level, boom = 0.0, []
    for i in range(n):  # filtered noise with a falling rumble
        t = i / n
        level += (rng.uniform(-1, 1) - level) * (0.35 - 0.3 * t)
        boom.append((level * 1.6 + 0.3 * math.sin(math.tau * 70 * i / RATE)) * (1 - t) ** 2)
    write_wav("boom.wav", boom)

    n = int(RATE * 0.45)
    hurt = []
    for i in range(n):  # a low buzz sliding down
        t = i / n
        f = 220 - 150 * t
        hurt.append(0.5 * (1 - t) * (1 if math.sin(math.tau * f * i / RATE) > 0 else -1) * (0.6 + 0.4 * math.sin(math.tau * 9 * t)))
    write_wav("hurt.wav", hurt)

    n = int(RATE * 0.35)
    coin = []
    for i in range(n):  # two rising notes
        t = i / n
        f = 988 if t < 0.3 else 1319
        coin.append(0.4 * (1 - t) * math.sin(math.tau * f * i / RATE))
    write_wav("start.wav", coin)


# ---------------------------------------------------------------- title song (tracker module)

# Periods of octaves 1 to 3 (C to B).
PERIODS = [856, 808, 762, 720, 678, 640, 604, 570, 538, 508, 480, 453,
           428, 404, 381, 360, 339, 320, 302, 285, 269, 254, 240, 226,
           214, 202, 190, 180, 170, 160, 151, 143, 135, 127, 120, 113]
NOTE = {n: i for i, n in enumerate(["C", "C#", "D", "D#", "E", "F", "F#", "G", "G#", "A", "A#", "B"])}


def period(name):
    """'A-2' style note name to its period."""
    key, octave = name[:-2], int(name[-1])
    return PERIODS[(octave - 1) * 12 + NOTE[key]]


def mod_cell(sample, note, effect=0, param=0):
    p = period(note) if note else 0
    return bytes([(sample & 0xF0) | (p >> 8), p & 0xFF, ((sample & 0x0F) << 4) | effect, param])


def tracker_song():
    cycle = 32
    lead = bytes((40 if i < cycle // 2 else -40) & 0xFF for i in range(cycle))  # square
    bass = bytes(int(60 * (1 - abs(4 * i / cycle - 2))) - 30 & 0xFF for i in range(cycle))  # triangle
    rng = random.Random(3)
    hat = bytes(int(rng.uniform(-50, 50) * (1 - i / 600)) & 0xFF for i in range(600))  # noise burst
    samples = [(b"lead", lead, 28, True), (b"bass", bass, 40, True), (b"hat", hat, 24, False)]

    head = b"korrin title".ljust(20, b"\0")
    for index in range(31):
        if index < len(samples):
            name, data, volume, loops = samples[index]
            words = len(data) // 2
            head += name.ljust(22, b"\0") + struct.pack(">HBBHH", words, 0, volume, 0, words if loops else 1)
        else:
            head += b"\0" * 22 + struct.pack(">HBBHH", 0, 0, 0, 0, 1)

    chords = [("A-1", ["A-2", "C-3", "E-3"]), ("F-1", ["F-2", "A-2", "C-3"]),
              ("C-2", ["C-3", "E-3", "G-3"]), ("G-1", ["G-2", "B-2", "D-3"])]
    melodies = [
        ["E-3", "", "D-3", "C-3", "", "E-3", "G-3", "", "A-3", "", "G-3", "E-3", "", "D-3", "C-3", ""],
        ["C-3", "", "D-3", "E-3", "", "C-3", "A-2", "", "B-2", "", "C-3", "D-3", "", "B-2", "G-2", ""],
    ]
    patterns = []
    for variant in range(2):
        rows = []
        for row in range(64):
            bar, step = divmod(row, 16)
            root, arp = chords[bar]
            bass_cell = mod_cell(2, root if step % 4 == 0 else "", 0xC, 0x20) if step % 4 == 0 else mod_cell(0, "")
            note = melodies[variant][step] if (bar + variant) % 2 == 0 else arp[step % 3] if step % 2 == 0 else ""
            lead_cell = mod_cell(1, note, 0xC, 0x16) if note else mod_cell(0, "")
            hat_cell = mod_cell(3, "C-3", 0xC, 0x12 if step % 4 == 2 else 0x0A) if step % 2 == 0 else mod_cell(0, "")
            echo = arp[(step + 1) % 3] if step % 4 == 1 else ""
            echo_cell = mod_cell(1, echo, 0xC, 0x0A) if echo else mod_cell(0, "")
            rows.append(bass_cell + lead_cell + hat_cell + echo_cell)
        patterns.append(b"".join(rows))
    # The first row sets the speed: six ticks per row on the echo channel's effect.
    first = bytearray(patterns[0])
    first[12:16] = mod_cell(0, "", 0xF, 6)
    patterns[0] = bytes(first)

    order = [0, 1, 0, 1]
    head += bytes([len(order), 127]) + bytes(order + [0] * (128 - len(order))) + b"M.K."
    body = b"".join(patterns) + b"".join(data for _, data, _, _ in samples)
    with open(os.path.join(OUT, "title.mod"), "wb") as f:
        f.write(head + body)


# ---------------------------------------------------------------- in-game song (MIDI)

def varlen(value):
    out = [value & 0x7F]
    value >>= 7
    while value:
        out.append(0x80 | (value & 0x7F))
        value >>= 7
    return bytes(reversed(out))


def midi_song():
    tpq = 96
    events = []  # (tick, order, bytes)

    def note(tick, length, channel, key, velocity):
        events.append((tick, 1, bytes([0x90 | channel, key, velocity])))
        events.append((tick + length, 0, bytes([0x80 | channel, key, 0])))

    progression = [45, 41, 48, 43]  # A, F, C, G roots
    riff = [0, 7, 12, 7, 3, 7, 12, 15]
    tick = 0
    for repeat in range(4):
        for root in progression:
            for step in range(8):  # driving bass in eighths
                note(tick + step * tpq // 2, tpq // 2 - 6, 0, root - 12 + (12 if step % 4 == 3 else 0), 120)
            for step, offset in enumerate(riff):  # synth riff
                if repeat > 0:
                    note(tick + step * tpq // 2, tpq // 2 - 10, 1, root + 12 + offset, 100)
            for beat in range(4):  # drums on channel 10
                note(tick + beat * tpq, 20, 9, 36 if beat % 2 == 0 else 38, 124)
                note(tick + beat * tpq + tpq // 2, 10, 9, 42, 90)
            tick += 4 * tpq
    events.sort(key=lambda e: (e[0], e[1]))

    track = bytearray()
    track += varlen(0) + b"\xff\x51\x03" + (428571).to_bytes(3, "big")  # 140 beats a minute
    track += varlen(0) + bytes([0xC0, 38])  # synth bass
    track += varlen(0) + bytes([0xC1, 81])  # saw lead
    last = 0
    for at, _, data in events:
        track += varlen(at - last) + data
        last = at
    track += varlen(tpq) + b"\xff\x2f\x00"
    data = b"MThd" + struct.pack(">IHHH", 6, 0, 1, tpq) + b"MTrk" + struct.pack(">I", len(track)) + bytes(track)
    with open(os.path.join(OUT, "play.mid"), "wb") as f:
        f.write(data)


if __name__ == "__main__":
    os.makedirs(OUT, exist_ok=True)
    pictures()
    sounds()
    tracker_song()
    midi_song()
