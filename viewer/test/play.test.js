'use strict';
const test = require('node:test');
const assert = require('node:assert/strict');
const T = require('../tavlin.js');
const { tavlinCli, runCli } = require('../test_support/writers.js');

const pts = (...list) => list.map(([x, y, frame, handOver]) => ({ x, y, frame, handOver: !!handOver }));

function dragPath(points, extra = {}) {
  return Object.assign({
    kind: 2, x: 0, y: 0, width: 0, height: 0, ranges: [[0, 299]],
    states: [0, 1, 2].map(() => ({ picture: -1, lineWidth: 1, colour: 0 })),
    arrowMode: 3, curve: 0, grabByte: 0, grabDistance: 0, grabFromThumb: false, thumbs: [], keepThumb: 0, thumbDirection: 0,
    points,
  }, extra);
}

function stage(objects, events = [], length = 300, hooks = {}) {
  return new T.Presentation({ width: 320, height: 240, length, objects, events }, hooks);
}

test('mapping: straight paths, ends, exact points and buttons', () => {
  const line = new T.Path(pts([40, 120, 0], [280, 120, 99]));
  assert.equal(line.mapPointer(160, 200).frame, 49.5);
  assert.equal(line.mapPointer(20, 120).frame, 0);
  assert.equal(line.mapPointer(300, 100, 40).frame, 99);
  const bent = new T.Path(pts([0, 0, 0], [100, 0, 10], [100, 100, 30]));
  assert.deepEqual(bent.mapPointer(100, 0), { frame: 10, distance: 0, index: 1 });
  // With a current frame its segment is tried first, and holds the point too.
  assert.equal(bent.mapPointer(100, 0, 25).frame, 10);
  const button = new T.Path(pts([10, 10, 7], [50, 10, 7]));
  for (const [x, y] of [[0, 0], [30, 90], [319, 239]]) assert.equal(button.mapPointer(x, y, 3).frame, 7);
  assert.equal(new T.Path(pts([1, 1, 1])).mapPointer(1, 1, 0), null);
});

test('mapping: the later neighbour wins at a U-turn, as the drag rule is written', () => {
  const u = new T.Path(pts([0, 0, 0], [300, 0, 100], [300, 40, 200], [0, 40, 300]));
  const m = u.mapPointer(150, 15, 150);
  assert.equal(m.index, 3);
  assert.equal(Math.trunc(m.frame), 245);
  // Dragging along the lower leg stays there; from the upper leg it stays up.
  assert.equal(Math.round(u.mapPointer(150, 38, 250).frame), 250);
  assert.equal(Math.round(u.mapPointer(150, 2, 50).frame), 50);
});

test('mapping: Bezier paths map on their chords, the thumb rides the curve', () => {
  const three = new T.Path(pts([0, 0, 0], [100, 100, 50], [200, 0, 100]));
  assert.equal(three.mapPointer(50, 50).frame, new T.Path(pts([0, 0, 0], [100, 100, 50], [200, 0, 100])).mapPointer(50, 50).frame);
  const onChord = three.positionAt(50, 0), onCurve = three.positionAt(50, 1);
  assert.deepEqual([onChord.x, onChord.y], [100, 100]);
  assert.deepEqual([onCurve.x, onCurve.y], [100, 50]);
  assert.ok(three.distanceTo(100, 50, 1) <= 1 && three.distanceTo(100, 50, 0) >= 35);
  assert.equal(three.positionAt(150, 1), null);
  // Two points behave as a polyline whatever the flag.
  const two = new T.Path(pts([0, 0, 0], [100, 0, 10]));
  assert.deepEqual(two.positionAt(5, 1), two.positionAt(5, 0));
  // A very long curve stays finite.
  const long = new T.Path(Array.from({ length: 2000 }, (_, i) => ({ x: i % 300, y: (i * 7) % 200, frame: i })));
  const p = long.positionAt(1000, 1);
  assert.ok(Number.isFinite(p.x) && Number.isFinite(p.y));
});

test('dragging: hand-over points pass the drag to the path under the pointer', () => {
  // Path A runs right to a hand-over point; path B continues downwards from there.
  const a = dragPath(pts([20, 20, 0], [200, 20, 100, true]));
  const b = dragPath(pts([200, 20, 100], [200, 200, 200]));
  const s = stage([a, b]);
  s.start();
  s.hover(100, 20);
  assert.equal(s.activePath.path, s.objects[0].path);
  s.press(100, 20);
  assert.equal(s.currentFrame, 44);
  s.dragTo(203, 110);
  assert.equal(s.activePath, s.objects[1], 'handed over at the end of A');
  assert.equal(s.currentFrame, 150);
  s.release();
  // Without the hand-over mark the drag stays on A and clamps at its end.
  const s2 = stage([dragPath(pts([20, 20, 0], [200, 20, 100])), b]);
  s2.start();
  s2.hover(100, 20);
  s2.press(100, 20);
  s2.dragTo(203, 110);
  assert.equal(s2.currentFrame, 100);
});

test('dragging: coded frames, grab distances, thumbs and keyboard steps', () => {
  const s = stage([dragPath(pts([0, 100, 0], [300, 100, 299]), { grabDistance: 10 })]);
  s.setCodedFrames([0, 10, 20, 30, 290]);
  s.start();
  s.hover(150, 150);
  assert.equal(s.activePath, null, 'beyond the grab distance');
  s.hover(150, 105);
  s.press(150, 105);
  assert.equal(s.currentFrame, 30, 'the nearest coded frame at or before 150');
  assert.equal(s.pickPath(150, 150, 100), null);
  s.release();
  s.stepAlongPath(1);
  assert.equal(s.currentFrame, 290);
  s.stepAlongPath(-1);
  assert.equal(s.currentFrame, 30);
  s.stepToPathEnd(false);
  assert.equal(s.currentFrame, 0);
  // Grab from the thumb measures to where the thumb is now.
  const t = stage([dragPath(pts([0, 100, 0], [300, 100, 300]), { grabDistance: 20, grabFromThumb: true, thumbs: [0] })]);
  t.currentFrame = 100;
  assert.ok(t.pickPath(100, 110));
  assert.equal(t.pickPath(10, 100), null);
  // Touch grabs only near a path, even when the path grabs at any distance.
  const any = stage([dragPath(pts([0, 100, 0], [300, 100, 300]))]);
  assert.ok(any.pickPath(150, 230));
  assert.equal(any.pickPath(150, 230, 28), null);
  // Enter presses a button: a path whose points share one frame.
  const btn = stage([dragPath(pts([10, 10, 42], [40, 10, 42]))]);
  btn.focusPath(0);
  assert.ok(btn.pressActiveButton());
  assert.equal(btn.currentFrame, 42);
});

function clockStage(events, length = 300, objects = []) {
  const clock = { t: 1000 };
  const log = [];
  const s = stage(objects, events.map((e) => Object.assign({ wait: 100 }, e)), length, {
    now: () => clock.t, random: () => clock.rand === undefined ? 0.5 : clock.rand,
    playSound: (i, repeat) => log.push(['sound', i, repeat]), stopSound: () => log.push(['stop']),
    openLink: (target, address) => log.push(['link', target, address]), param: (text) => log.push(['param', text]),
  });
  const run = (ms) => { for (let k = 0; k < ms / 10; k++) { clock.t += 10; s.timerStep(); } };
  return { s, clock, log, run };
}

test('events: play stretches step at their speed and direction and stop at their ends', () => {
  const { s, run } = clockStage([{ kind: 0, first: 10, last: 20, interruptible: 0 }]);
  s.start();
  s.setCurrentFrame(10);
  run(90);
  assert.equal(s.currentFrame, 10);
  run(10);
  assert.equal(s.currentFrame, 11);
  run(1000);
  assert.equal(s.currentFrame, 20);
  assert.equal(s.running[0], null);
  // Backwards from 15 down to the first frame; entered at its last frame it stops at once.
  const back = clockStage([{ kind: 0, first: 10, last: 20, interruptible: 0 }]);
  back.s.start();
  back.s.playDir = -1;
  back.s.setCurrentFrame(15);
  back.run(2000);
  assert.equal(back.s.currentFrame, 10);
  back.s.setCurrentFrame(20);
  assert.equal(back.s.running[0], null);
  // A param event sets speed 200 first: one frame every 50 ms.
  const fast = clockStage([{ kind: 4, first: 0, last: 0, text: '$play_speed=200;x=1' }, { kind: 0, first: 1, last: 50, interruptible: 1 }]);
  fast.s.start();
  fast.run(10);
  assert.deepEqual(fast.log, [['param', '$play_speed=200;x=1']]);
  fast.s.setCurrentFrame(1);
  fast.run(500);
  assert.equal(fast.s.currentFrame, 11);
  // Holding the pointer down pauses an interruptible stretch.
  fast.s.mouseDown = true;
  fast.run(500);
  assert.equal(fast.s.currentFrame, 11);
  // Playback ends at the timeline's last frame.
  const end = clockStage([{ kind: 0, first: 95, last: 104, interruptible: 0 }], 100);
  end.s.start();
  end.s.setCurrentFrame(95);
  end.run(3000);
  assert.equal(end.s.currentFrame, 99);
});

test('events: jumps, sounds, links and params fire once per entry after their wait', () => {
  const { s, clock, log, run } = clockStage([
    { kind: 1, first: 30, last: 30, targets: [5, 30, 60] },
    { kind: 1, first: 31, last: 31, targets: [] },
    { kind: 2, first: 100, last: 110, repeat: 1, sound: 0 },
    { kind: 2, first: 120, last: 130, repeat: 0, sound: 1 },
    { kind: 3, first: 200, last: 200, target: '_blank', address: 'http://example.org/' },
  ]);
  s.start();
  clock.rand = 0.99;
  s.setCurrentFrame(30);
  run(90);
  assert.equal(s.currentFrame, 30);
  run(20);
  assert.equal(s.currentFrame, 60);
  s.setCurrentFrame(100);
  run(200);
  s.setCurrentFrame(105);
  run(200);
  s.setCurrentFrame(120);
  run(200);
  s.setCurrentFrame(200);
  run(200);
  assert.deepEqual(log, [['sound', 0, true], ['stop'], ['sound', 1, false], ['link', '_blank', 'http://example.org/']]);
  assert.equal(T.safeLinkUrl('javascript:alert(1)', 'http://h/p/'), null);
  assert.equal(T.safeLinkUrl('next.html', 'http://h/p/index.html'), 'http://h/p/next.html');
});

test('the page parameters of the published APPLET block', () => {
  const c = T.appletConfig({ width: '640', height: '480', code: 'Tavlin.class', archive: 'tavlin.jar,data.jar' },
    { PRELOAD: 'TRUE', BGCOLOR: 'FFFFFF', MESSAGE: 'TAVLIN Loading' });
  assert.deepEqual(c, { width: 640, height: 480, archives: ['tavlin.jar', 'data.jar'], useDataJar: true, preload: true,
    background: '#FFFFFF', message: 'TAVLIN Loading', dir: '' });
  assert.equal(T.appletConfig({ archive: 'tavlin.jar' }, {}).useDataJar, false);
});

// Once the studio maps pointers: TAVLIN_CLI=... TAVLIN_PROJECT=x.tvl with the
// first drag path of that project.
test('mapping matches "tavlin project map"', { skip: !(tavlinCli() && process.env.TAVLIN_PROJECT) && 'set TAVLIN_CLI and TAVLIN_PROJECT' }, () => {
  const fs = require('node:fs');
  const os = require('node:os');
  const path = require('node:path');
  const dir = fs.mkdtempSync(path.join(os.tmpdir(), 'tavlin-map-'));
  runCli(['content', 'write', process.env.TAVLIN_PROJECT, dir]);
  const content = T.parseContent(fs.readFileSync(path.join(dir, 'tavlin.txt')));
  const n = content.objects.findIndex((o) => o.kind === 2);
  const p = new T.Path(content.objects[n].points);
  for (let i = 0; i < 200; i++) {
    const x = (i * 37) % content.width, y = (i * 53) % content.height, f = (i * 7) % content.length;
    const theirs = Number(runCli(['project', 'map', process.env.TAVLIN_PROJECT, String(x), String(y), '--frame', String(f), '--object', String(n)]).trim());
    const m = p.mapPointer(x, y, f);
    assert.equal(Math.trunc(m.frame + 0.5), Math.trunc(theirs + 0.5), `(${x}, ${y}) from ${f}`);
  }
});
