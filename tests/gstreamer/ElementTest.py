#!/usr/bin/python3
"""The GStreamer element brimwave in real pipelines, without a display.

Usage: ElementTest.py PLUGIN_DIR BRIMWAVE MAKE_SONG [unittest arguments]
PLUGIN_DIR holds libgstbrimwave.so, BRIMWAVE is the native program (for
parity with --render), MAKE_SONG is tools/make-song.sh. Cases that compare
pictures run their pipelines in a fresh process each: the scenes' animation
lives as long as the library is loaded, as in the player.
"""
import atexit
import ctypes
import gc
import json
import os
import re
import shutil
import subprocess
import sys
import tempfile
import unittest
import wave

PLUGIN_DIR, BRIMWAVE, MAKE_SONG = sys.argv[1:4] if len(sys.argv) > 3 and sys.argv[1] != "--child" else ("", "", "")
if "BRIM_GST_WORK" in os.environ:  # a child: the parent's folder
    WORK = os.environ["BRIM_GST_WORK"]
else:
    WORK = os.environ["BRIM_GST_WORK"] = tempfile.mkdtemp(prefix="brimgst.")
    atexit.register(shutil.rmtree, WORK, True)
# A private registry: no stale cache of another build's plug-in.
os.environ["GST_REGISTRY"] = os.path.join(WORK, "registry.bin")
if PLUGIN_DIR:
    os.environ["GST_PLUGIN_PATH"] = os.path.abspath(PLUGIN_DIR)
os.environ["DISPLAY"] = ""
os.environ["WAYLAND_DISPLAY"] = ""

import gi  # noqa: E402

gi.require_version("Gst", "1.0")
from gi.repository import GObject, Gst  # noqa: E402

Gst.init(None)

RATE = 44100
SIZE = (160, 120)

# A pixel is coloured when its channels differ: the black background and the
# checkerboard's black and white are not; the boxes and spheres are.
DIFFERS = bytes([0] + [1] * 255)


def coloured_pixels(frame):
    """How many BGRx or RGBx pixels of the frame are not grey."""
    count = len(frame) // 4
    b, g, r = (int.from_bytes(frame[i::4], "little") for i in range(3))
    first = (b ^ g).to_bytes(count, "little").translate(DIFFERS)
    second = (g ^ r).to_bytes(count, "little").translate(DIFFERS)
    return (int.from_bytes(first, "little") | int.from_bytes(second, "little")).bit_count()


def mean_absolute_difference(one, other):
    return sum(abs(x - y) for x, y in zip(one, other)) / len(one)


def swap_red_and_blue(frame):
    swapped = bytearray(frame)
    swapped[0::4], swapped[2::4] = frame[2::4], frame[0::4]
    return bytes(swapped)


def write_wav(path, frames):
    with wave.open(path, "wb") as out:
        out.setnchannels(2)
        out.setsampwidth(2)
        out.setframerate(RATE)
        out.writeframes(frames)


def read_wav_frames(path):
    with wave.open(path) as song:
        return song.readframes(song.getnframes())


class Run:
    """A pipeline whose appsink `out` is read to its end, frame by frame."""

    def __init__(self, description):
        self.pipeline = Gst.parse_launch(description)
        self.sink = self.pipeline.get_by_name("out")
        self.bus = self.pipeline.get_bus()

    def start(self):
        return self.pipeline.set_state(Gst.State.PLAYING)

    def error(self):
        message = self.bus.pop_filtered(Gst.MessageType.ERROR)
        return message.parse_error()[0].message if message else None

    def next_frame(self):
        """(bytes, pts, width, height) of the next frame; None at the end.
        Polls so that an error ends the wait: no time limit of its own."""
        while True:
            sample = self.sink.emit("try-pull-sample", Gst.SECOND // 10)
            if sample is not None:
                buffer = sample.get_buffer()
                structure = sample.get_caps().get_structure(0)
                return (buffer.extract_dup(0, buffer.get_size()), buffer.pts, structure.get_value("width"),
                        structure.get_value("height"))
            error = self.error()
            if error:
                raise AssertionError("pipeline error: " + error)
            if self.sink.get_property("eos"):
                return None

    def frames(self):
        frames = []
        while (frame := self.next_frame()) is not None:
            frames.append(frame)
        return frames

    def stop(self):
        self.pipeline.set_state(Gst.State.NULL)


def song_pipeline(song, module=0, size=SIZE, fps="40/1", pixel_format="BGRx", extra=""):
    return (f"filesrc location={song} ! decodebin ! audioconvert ! brimwave name=vis module={module} {extra} ! "
            f"video/x-raw,format={pixel_format},width={size[0]},height={size[1]},framerate={fps} ! "
            "appsink name=out sync=false max-buffers=1")


def in_fresh_process(case, **arguments):
    """Runs child_CASE(**arguments) in a new interpreter; its frames and JSON answer."""
    frames_path = os.path.join(WORK, f"frames-{case}-{os.getpid()}-{in_fresh_process.runs}.raw")
    in_fresh_process.runs += 1
    request = dict(arguments, frames=frames_path)
    done = subprocess.run([sys.executable, os.path.abspath(__file__), "--child", case, json.dumps(request)],
                          capture_output=True, text=True)
    if done.returncode != 0:
        raise AssertionError(f"child {case} failed:\n{done.stdout}\n{done.stderr}")
    answer = json.loads(done.stdout.strip().splitlines()[-1])
    with open(frames_path, "rb") as raw:
        data = raw.read()
    size = answer["frame_bytes"]
    return [data[i:i + size] for i in range(0, len(data), size)], answer


in_fresh_process.runs = 0


def child_render(request):
    """The frames of one pipeline; optionally a property set after a frame,
    or a second brimwave tried while the first runs."""
    run = Run(request["pipeline"])
    run.start()
    frames = []
    refusal = None
    second_ran = None
    while (frame := run.next_frame()) is not None:
        frames.append(frame[0])
        if request.get("set_after") == len(frames) - 1:
            run.pipeline.get_by_name("vis").set_property(request["property"], request["value"])
        if request.get("second_after") == len(frames) - 1:
            second = Run(request["second"])
            refused = second.start() == Gst.StateChangeReturn.FAILURE
            refusal = (refused, second.error())
            second.stop()
    run.stop()
    if "second" in request:
        # With the first one stopped, the second may draw.
        second = Run(request["second"])
        second.start()
        second_ran = len(second.frames())
        second.stop()
    with open(request["frames"], "wb") as out:
        out.write(b"".join(frames))
    return {"frame_bytes": len(frames[0]) if frames else 1, "refusal": refusal, "second_frames": second_ran}


class MallocInfo(ctypes.Structure):
    _fields_ = [(name, ctypes.c_size_t) for name in
                "arena ordblks smblks hblks hblkhd usmblks fsmblks uordblks fordblks keepcost".split()]


def memory():
    """Resident bytes in all, outside the malloc heap, and allocated by malloc."""
    gc.collect()
    resident = outside_heap = 0
    in_heap = False
    with open("/proc/self/smaps") as maps:
        for line in maps:
            if re.match(r"[0-9a-f]+-[0-9a-f]+ ", line):
                in_heap = line.rstrip().endswith("[heap]")
            elif line.startswith("Rss:"):
                size = int(line.split()[1]) * 1024
                resident += size
                outside_heap += 0 if in_heap else size
    libc = ctypes.CDLL(None)
    libc.mallinfo2.restype = MallocInfo
    info = libc.mallinfo2()
    return resident, outside_heap, info.uordblks + info.hblkhd


def child_cycles(request):
    """Memory after a warm-up and after `cycles` more NULL-PLAYING-NULL cycles."""
    pipeline = Gst.parse_launch(request["pipeline"])
    bus = pipeline.get_bus()
    counts = []
    before = None
    for cycle in range(request["warmup"] + request["cycles"]):
        if cycle == request["warmup"]:
            before = memory()
        pipeline.set_state(Gst.State.PLAYING)
        message = bus.timed_pop_filtered(Gst.CLOCK_TIME_NONE, Gst.MessageType.EOS | Gst.MessageType.ERROR)
        if message.type == Gst.MessageType.ERROR:
            raise AssertionError(message.parse_error()[0].message)
        counts.append(pipeline.get_by_name("count").get_property("stats").get_value("rendered"))
        pipeline.set_state(Gst.State.NULL)
    with open(request["frames"], "wb"):
        pass
    after = memory()
    return {"frame_bytes": 1, "growth": [b - a for a, b in zip(before, after)], "counts": counts}


class Songs:
    """The test's WAV songs, made once per process."""

    song = os.path.join(WORK, "song.wav")  # 4 s of music
    silence_then_music = os.path.join(WORK, "silence-then-music.wav")  # 2 s of silence, then 2 s of music
    short = os.path.join(WORK, "short.wav")  # a quarter second

    @classmethod
    def make(cls):
        if os.path.exists(cls.short):
            return
        subprocess.run([MAKE_SONG, cls.song, "4"], check=True)
        music = read_wav_frames(cls.song)
        write_wav(cls.silence_then_music, bytes(2 * RATE * 4) + music[:2 * RATE * 4])
        write_wav(cls.short, music[:RATE // 4 * 4])


def setUpModule():
    Songs.make()


class Registration(unittest.TestCase):
    def test_gst_inspect_finds_the_element_as_a_visualization(self):
        shown = subprocess.run(["gst-inspect-1.0", "brimwave"], capture_output=True, text=True)
        self.assertEqual(shown.returncode, 0, shown.stderr)
        for line in ("Long-name                Brimwave", "Klass                    Visualization",
                     "GstAudioVisualizer", "video/x-raw", "audio/x-raw"):
            self.assertIn(line, shown.stdout)
        # Players offer the elements whose class names a visualization.
        listed = [feature.get_name() for feature in Gst.Registry.get().get_feature_list(Gst.ElementFactory)
                  if "Visualization" in (feature.get_metadata("klass") or "")]
        self.assertIn("brimwave", listed)
        self.assertGreaterEqual(Gst.ElementFactory.find("brimwave").get_rank(), Gst.Rank.MARGINAL)

    def test_properties_take_the_settings_defaults_and_the_dialogs_ranges(self):
        element = Gst.ElementFactory.make("brimwave")
        expected = {  # name: (default, minimum, maximum)
            "fallspeed": (77, 10, 700),
            "scales": (500, 1, 5000),
            "scalew": (10000, 3000, 30000),
            "detail": (10, 2, 30),
        }
        for name, (default, minimum, maximum) in expected.items():
            found = element.find_property(name)
            self.assertEqual((found.default_value, found.minimum, found.maximum), (default, minimum, maximum), name)
            self.assertEqual(element.get_property(name), default, name)
        self.assertEqual(int(element.get_property("vistype")), 1)
        self.assertFalse(element.get_property("lines"))
        module = element.find_property("module").value_type
        self.assertEqual([GObject.enum_to_string(module, i) for i in range(3)],
                         ["Rectangles", "Spheres", "Rectangle/Texture(prelim)"])
        self.assertEqual(int(element.get_property("module")), 0)

    def test_absurd_values_are_refused_and_the_setting_kept(self):
        element = Gst.ElementFactory.make("brimwave")
        for name, absurd in (("detail", 1000), ("detail", -5), ("fallspeed", 0), ("scales", 10 ** 9)):
            before = element.get_property(name)
            element.set_property(name, absurd)  # GLib warns that it is out of range
            self.assertEqual(element.get_property(name), before, name)
        element.set_property("module", 7)
        self.assertEqual(int(element.get_property("module")), 0)


class Frames(unittest.TestCase):
    def test_one_frame_per_frame_time_of_the_song(self):
        for size, fps, rate in (((160, 120), "40/1", 40), ((64, 48), "25/1", 25), ((80, 60), "100/1", 100),
                                ((96, 54), "30000/1001", 30000 / 1001)):
            with self.subTest(size=size, fps=fps):
                run = Run(song_pipeline(Songs.song, size=size, fps=fps))
                run.start()
                frames = run.frames()
                run.stop()
                self.assertLessEqual(abs(len(frames) - 4 * rate), 1)
                self.assertEqual({(width, height) for _, _, width, height in frames}, {size})
                self.assertEqual({len(data) for data, _, _, _ in frames}, {size[0] * size[1] * 4})
                # Stamped on the frame rate's grid, from 0.
                for number, (_, pts, _, _) in enumerate(frames):
                    self.assertLessEqual(abs(pts - number * Gst.SECOND / rate), 1, number)

    def test_coloured_pixels_grow_with_music_and_stay_few_in_silence(self):
        pixels = SIZE[0] * SIZE[1]
        for module in range(3):
            with self.subTest(module=module):
                run = Run(song_pipeline(Songs.silence_then_music, module=module))
                run.start()
                counts = [coloured_pixels(data) for data, _, _, _ in run.frames()]
                run.stop()
                self.assertEqual(len(counts), 160)
                # The held peak starts high and falls back within the first second.
                silence = counts[50:80]
                music = sorted(counts[84:160])
                self.assertLess(max(silence), pixels * 0.02, counts)
                self.assertGreater(music[len(music) // 2], 4 * max(silence), counts)

    def test_rgbx_is_bgrx_with_red_and_blue_swapped(self):
        bgrx, _ = in_fresh_process("render", pipeline=song_pipeline(Songs.song, module=1))
        rgbx, _ = in_fresh_process("render", pipeline=song_pipeline(Songs.song, module=1, pixel_format="RGBx"))
        self.assertEqual(len(bgrx), 160)
        self.assertEqual(len(rgbx), len(bgrx))
        for number, (one, other) in enumerate(zip(bgrx, rgbx)):
            self.assertEqual(swap_red_and_blue(one), other, number)
        self.assertGreater(coloured_pixels(bgrx[100]), 0)

    def test_frames_match_brimwave_render(self):
        # The element shows the block --render shows, the 576 samples nearest
        # the frame's time, whichever of the base class's windows completes
        # it; the levels, scenes and GL are the same, so the frames are the
        # same bytes. The tolerance is none: any difference is reported as
        # the share of bytes and the mean absolute difference of the worst frame.
        for module, size, fps in ((0, (160, 120), 40), (1, (96, 72), 30), (2, (80, 60), 100), (1, (64, 48), 24)):
            with self.subTest(module=module, size=size, fps=fps):
                element, _ = in_fresh_process("render", pipeline=song_pipeline(Songs.song, module=module, size=size,
                                                                               fps=f"{fps}/1"))
                raw = os.path.join(WORK, f"render-{module}.raw")
                subprocess.run([BRIMWAVE, "--render", Songs.song, "--raw-video", raw, "--size",
                                f"{size[0]}x{size[1]}", "--render-fps", str(fps), "--module", str(module)],
                               check=True, capture_output=True)
                with open(raw, "rb") as video:
                    data = video.read()
                frame_bytes = size[0] * size[1] * 4
                rendered = [data[i:i + frame_bytes] for i in range(0, len(data), frame_bytes)]
                # --render also draws a frame whose block runs past the song's end, as silence.
                self.assertIn(len(rendered) - len(element), (0, 1))
                worst = max(range(len(element)), key=lambda i: mean_absolute_difference(element[i], rendered[i]))
                differing = sum(x != y for x, y in zip(element[worst], rendered[worst])) / frame_bytes
                print(f"module {module} {size[0]}x{size[1]} at {fps}: {len(element)} frames, the worst frame "
                      f"({worst}) differs in {differing:.1%} of its bytes, mean absolute difference "
                      f"{mean_absolute_difference(element[worst], rendered[worst]):.3f}", file=sys.stderr)
                self.assertEqual(element, rendered[:len(element)])

    def test_a_mono_stream_shows_on_both_channels(self):
        mono = "audioconvert ! audio/x-raw,channels=1 ! audioconvert"
        alone, _ = in_fresh_process("render", pipeline=song_pipeline(Songs.song, extra="").replace(
            "audioconvert ! brimwave", mono + " ! brimwave"))
        both, _ = in_fresh_process("render", pipeline=song_pipeline(Songs.song).replace(
            "audioconvert ! brimwave", mono + " ! audio/x-raw,channels=2 ! brimwave"))
        self.assertEqual(len(alone), 160)
        self.assertEqual(alone, both)


class Players(unittest.TestCase):
    def test_playbin_shows_brimwave_as_its_visualization(self):
        playbin = Gst.ElementFactory.make("playbin")
        playbin.set_property("uri", Gst.filename_to_uri(Songs.song))
        playbin.set_property("vis-plugin", Gst.ElementFactory.make("brimwave"))
        playbin.set_property("audio-sink", Gst.ElementFactory.make("fakesink"))
        video = Gst.ElementFactory.make("fakesink")
        video.set_property("signal-handoffs", True)
        frames = []
        video.connect("handoff", lambda sink, buffer, pad: frames.append(
            coloured_pixels(buffer.extract_dup(0, buffer.get_size()))
            if pad.get_current_caps().get_structure(0).get_value("format") in ("BGRx", "RGBx") else 1))
        playbin.set_property("video-sink", video)
        for sink in (video, playbin.get_property("audio-sink")):
            sink.set_property("sync", False)
        playbin.set_property("flags", 0x1 | 0x2 | 0x8)  # video, audio, vis
        playbin.set_state(Gst.State.PLAYING)
        message = playbin.get_bus().timed_pop_filtered(Gst.CLOCK_TIME_NONE,
                                                       Gst.MessageType.EOS | Gst.MessageType.ERROR)
        playbin.set_state(Gst.State.NULL)
        self.assertEqual(message.type, Gst.MessageType.EOS,
                         message.parse_error() if message.type == Gst.MessageType.ERROR else "")
        self.assertGreaterEqual(len(frames), 4 * 20)
        self.assertGreater(max(frames), 0)


class Lifecycle(unittest.TestCase):
    def test_state_cycles_deliver_every_time_and_keep_memory(self):
        # One malloc arena: otherwise each new streaming thread may grow the
        # resident size by an arena, whatever the element does.
        os.environ["MALLOC_ARENA_MAX"] = "1"
        try:
            _, answer = in_fresh_process(
                "cycles", warmup=30, cycles=100,
                pipeline=f"filesrc location={Songs.short} ! wavparse ! audioconvert ! brimwave ! "
                         "video/x-raw,width=64,height=48,framerate=40/1 ! fakesink name=count sync=false")
        finally:
            del os.environ["MALLOC_ARENA_MAX"]
        self.assertEqual(set(answer["counts"]), {10})
        resident, outside_heap, allocated = answer["growth"]
        print(f"over 100 cycles: resident {resident / 1e6:+.3f} MB, of it outside the heap {outside_heap / 1e6:+.3f} MB;"
              f" allocated {allocated / 1e6:+.3f} MB", file=sys.stderr)
        # The heap's resident size steps by up to half a megabyte as it
        # fragments, whatever the element does; what a leak would show is
        # checked instead. Mesa keeps about 4 KB of mappings for each EGL
        # display terminated after drawing: 0.4 MB outside the heap. A
        # context or a frame kept each cycle: megabytes allocated.
        self.assertLess(outside_heap, 250_000)
        self.assertLess(allocated, 1_000_000)

    def test_a_flushing_seek_starts_the_levels_again(self):
        # At 100 frames a second a window holds fewer samples than a block:
        # the first window after the seek is not shown, the restart must wait.
        for fps in (40, 100):
            with self.subTest(fps=fps):
                run = Run(song_pipeline(Songs.silence_then_music, fps=f"{fps}/1"))
                run.start()
                quiet = run.next_frame()
                while quiet[1] < Gst.SECOND * 7 // 4:  # into the silence, where the levels have fallen
                    quiet = run.next_frame()
                self.assertTrue(run.pipeline.seek_simple(
                    Gst.Format.TIME, Gst.SeekFlags.FLUSH | Gst.SeekFlags.ACCURATE, Gst.SECOND // 2))
                after = run.next_frame()
                rest = run.frames()
                run.stop()
                self.assertGreaterEqual(after[1], Gst.SECOND // 2)
                # As at a module's start the held peaks are high again: the boxes are.
                self.assertGreater(coloured_pixels(after[0]), 4 * max(coloured_pixels(quiet[0]), 50))
                self.assertLessEqual(abs(len(rest) + 1 - 3.5 * fps), 1)

    def test_a_new_size_downstream_renegotiates(self):
        run = Run(f"filesrc location={Songs.song} ! decodebin ! audioconvert ! brimwave ! "
                  "capsfilter name=size caps=video/x-raw,width=160,height=120,framerate=40/1 ! "
                  "appsink name=out sync=false max-buffers=1")
        run.start()
        sizes = []
        pictures = []
        while (frame := run.next_frame()) is not None:
            sizes.append((frame[2], frame[3]))
            pictures.append(frame[0])
            if len(sizes) == 40:
                run.pipeline.get_by_name("size").set_property(
                    "caps", Gst.Caps.from_string("video/x-raw,width=96,height=72,framerate=40/1"))
        run.stop()
        self.assertEqual(sizes[0], (160, 120))
        self.assertEqual(sizes[-1], (96, 72))
        self.assertEqual(len(pictures[-1]), 96 * 72 * 4)
        self.assertGreater(coloured_pixels(pictures[-20]), 96 * 72 // 50)
        self.assertLessEqual(abs(len(sizes) - 160), 1)

    def test_a_module_change_takes_effect_at_the_next_frame(self):
        pipeline = song_pipeline(Songs.song)
        plain, _ = in_fresh_process("render", pipeline=pipeline)
        changed, _ = in_fresh_process("render", pipeline=pipeline, set_after=40, property="module", value=1)
        self.assertEqual(len(changed), len(plain))
        self.assertEqual(changed[:41], plain[:41])
        # The streaming thread may have drawn two frames ahead of the one just taken.
        for number in range(43, len(plain), 10):
            self.assertNotEqual(changed[number], plain[number], number)

    def test_a_second_element_is_refused_and_the_first_is_unharmed(self):
        pipeline = song_pipeline(Songs.song, module=1)
        second = ("audiotestsrc num-buffers=20 ! brimwave ! video/x-raw,width=32,height=24 ! "
                  "appsink name=out sync=false")
        alone, _ = in_fresh_process("render", pipeline=pipeline)
        beside, answer = in_fresh_process("render", pipeline=pipeline, second_after=30, second=second)
        refused, message = answer["refusal"]
        self.assertTrue(refused)
        self.assertEqual(message, "only one brimwave element can run in a process at a time")
        self.assertEqual(beside, alone)
        self.assertGreater(answer["second_frames"], 0)

    def test_caps_nobody_can_meet_end_in_an_error(self):
        for caps in ("video/x-raw,format=I420", "video/x-raw,width=20000,height=20000",
                     "video/x-raw,framerate=0/1"):
            with self.subTest(caps=caps):
                # Set after linking: parse_launch would refuse the link itself.
                run = Run("audiotestsrc num-buffers=10 ! brimwave ! capsfilter name=caps ! appsink name=out sync=false")
                run.pipeline.get_by_name("caps").set_property("caps", Gst.Caps.from_string(caps))
                run.start()
                with self.assertRaises(AssertionError):
                    run.frames()
                run.stop()
        # The element that failed let go: another one draws.
        run = Run(song_pipeline(Songs.short))
        run.start()
        self.assertEqual(len(run.frames()), 10)
        run.stop()


if __name__ == "__main__":
    if sys.argv[1] == "--child":
        request = json.loads(sys.argv[3])
        print(json.dumps(globals()["child_" + sys.argv[2]](request)))
        sys.exit(0)
    unittest.main(argv=[sys.argv[0]] + sys.argv[4:], verbosity=2)
