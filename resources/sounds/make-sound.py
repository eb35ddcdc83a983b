#!/usr/bin/env python3
"""Writes message.wav, the client's own new-message sound for desktops
without a sound theme: two soft bell tones, 0.4 s, 16-bit mono at 22050 Hz.

    python3 resources/sounds/make-sound.py

Run it again only to change the sound; the output is committed.
"""
import math
import pathlib
import struct
import wave

RATE = 22050


def tone(frequency, start, length, total):
    samples = [0.0] * total
    first = int(start * RATE)
    for i in range(int(length * RATE)):
        t = i / RATE
        # A bell: a quick rise, then an exponential fall; a quiet octave above.
        envelope = min(1.0, t / 0.005) * math.exp(-t * 9)
        value = math.sin(2 * math.pi * frequency * t) + 0.3 * math.sin(4 * math.pi * frequency * t)
        if first + i < total:
            samples[first + i] = envelope * value
    return samples


def main():
    total = int(0.4 * RATE)
    high = tone(1318.5, 0.0, 0.4, total)  # E6
    low = tone(987.8, 0.12, 0.28, total)  # B5
    frames = b"".join(struct.pack("<h", int(max(-1.0, min(1.0, 0.35 * (a + b))) * 32767))
                      for a, b in zip(high, low))
    out = pathlib.Path(__file__).with_name("message.wav")
    with wave.open(str(out), "wb") as w:
        w.setnchannels(1)
        w.setsampwidth(2)
        w.setframerate(RATE)
        w.writeframes(frames)


if __name__ == "__main__":
    main()
