// What the web tests share: an issue exported with magpack web, served by a
// plain static server on 127.0.0.1, read by Debian's Chromium (headless),
// driven by clicks; screenshots read pixel by pixel.
import { spawn, execFileSync } from "node:child_process";
import { mkdtempSync, rmSync } from "node:fs";
import { tmpdir } from "node:os";
import { join } from "node:path";
import { inflateSync } from "node:zlib";
import { createServer } from "node:net";
import { chromium } from "playwright-core";

export const env = (name) => {
  const value = process.env[name];
  if (!value) throw new Error(name + " is not set (ctest sets it)");
  return value;
};

export function tempDir() {
  return mkdtempSync(join(tmpdir(), "web-test-"));
}

export function magpack(...args) {
  return execFileSync(env("MAGPACK"), args, { encoding: "utf8", stdio: ["ignore", "pipe", "pipe"] });
}

async function freePort() {
  return new Promise((resolve, reject) => {
    const probe = createServer();
    probe.once("error", reject);
    probe.listen(0, "127.0.0.1", () => {
      const { port } = probe.address();
      probe.close(() => resolve(port));
    });
  });
}

// Python's own static file server: no code of ours runs on the server side.
// Ready once `probe` (a path on the server) answers. With `log`, each request
// it answered is pushed there as { path, status }.
export async function serve(folder, probe = "/site.json", log = null) {
  const port = await freePort();
  const server = spawn("python3", ["-m", "http.server", "--bind", "127.0.0.1", String(port), "--directory", folder],
    { stdio: ["ignore", "ignore", log ? "pipe" : "ignore"] });
  if (log) {
    let rest = "";
    server.stderr.setEncoding("utf8");
    server.stderr.on("data", (text) => {
      const lines = (rest + text).split("\n");
      rest = lines.pop();
      for (const line of lines) {
        const hit = /"GET (\S+) HTTP\/[\d.]+" (\d+)/.exec(line);
        if (hit) log.push({ path: decodeURIComponent(hit[1]), status: Number(hit[2]) });
      }
    });
  }
  const origin = "http://127.0.0.1:" + port;
  for (let i = 0; i < 100; ++i) {
    try {
      if ((await fetch(origin + probe)).ok) break;
    } catch {
      // not listening yet
    }
    await new Promise((r) => setTimeout(r, 50));
  }
  return { origin, stop: () => server.kill() };
}

const browserOptions = () => ({
  executablePath: process.env.CHROMIUM || "/usr/bin/chromium",
  args: ["--no-sandbox", "--autoplay-policy=no-user-gesture-required", "--enable-unsafe-swiftshader", ...(process.env.EXTRA_FLAGS ? process.env.EXTRA_FLAGS.split(" ") : [])],
});

export async function launch() {
  return chromium.launch(browserOptions());
}

// A browser as a reader has it, with its cache on the disk in `profile` (a new
// context's cache is kept in memory and holds no file as large as the engine).
export async function launchWithProfile(profile, { width = 1024, height = 768 } = {}) {
  return chromium.launchPersistentContext(profile, { ...browserOptions(), viewport: { width, height } });
}

// A page of the site with what it did recorded: every request's URL, the
// movies' traces, the requests from its frames to the page (the command
// traffic), and the page's errors.
export async function openSite(browser, origin, { width = 1024, height = 768, path = "/index.html" } = {}) {
  const context = await browser.newContext({ viewport: { width, height }, acceptDownloads: true });
  const page = await context.newPage();
  const seen = recordPage(page);
  await page.goto(origin + path);
  return { page, context, seen };
}

export function recordPage(page) {
  const seen = { requests: [], traces: [], errors: [], console: [] };
  page.on("request", (r) => seen.requests.push(r.url()));
  page.on("pageerror", (e) => seen.errors.push(e.message));
  page.on("console", (m) => {
    const text = m.text();
    seen.console.push(text);
    if (text.startsWith("[trace] ")) seen.traces.push(text.slice(8));
  });
  return seen;
}

export async function waitForTimeline(page, what, timeout = 20000) {
  await page.waitForFunction((w) => window.playerSite && window.playerSite.timeline[w] !== undefined, what, { timeout });
  return page.evaluate((w) => window.playerSite.timeline[w], what);
}

export async function waitForTrace(seen, pattern, timeout = 10000) {
  const end = Date.now() + timeout;
  while (Date.now() < end) {
    const hit = seen.traces.find((t) => pattern.test(t));
    if (hit) return hit;
    await new Promise((r) => setTimeout(r, 50));
  }
  throw new Error("no trace matching " + pattern + "; traces: " + JSON.stringify(seen.traces));
}

export async function waitFor(condition, what, timeout = 10000) {
  const end = Date.now() + timeout;
  while (Date.now() < end) {
    if (await condition()) return;
    await new Promise((r) => setTimeout(r, 50));
  }
  throw new Error("timed out waiting for " + what);
}

// ---- Screenshots -------------------------------------------------------------

// The pixels of a PNG as Chromium writes it (8-bit RGB or RGBA, not interlaced).
export function decodePng(png) {
  const width = png.readUInt32BE(16);
  const height = png.readUInt32BE(20);
  const channels = { 2: 3, 6: 4 }[png[25]];
  if (png[24] !== 8 || !channels || png[28] !== 0) throw new Error("unexpected PNG format");
  const chunks = [];
  for (let at = 8; at < png.length;) {
    const length = png.readUInt32BE(at);
    const type = png.toString("ascii", at + 4, at + 8);
    if (type === "IDAT") chunks.push(png.subarray(at + 8, at + 8 + length));
    at += 12 + length;
  }
  const raw = inflateSync(Buffer.concat(chunks));
  const stride = width * channels;
  const pixels = Buffer.alloc(stride * height);
  for (let y = 0; y < height; ++y) {
    const filter = raw[y * (stride + 1)];
    const line = raw.subarray(y * (stride + 1) + 1, (y + 1) * (stride + 1));
    for (let x = 0; x < stride; ++x) {
      const a = x >= channels ? pixels[y * stride + x - channels] : 0;
      const b = y > 0 ? pixels[(y - 1) * stride + x] : 0;
      const c = x >= channels && y > 0 ? pixels[(y - 1) * stride + x - channels] : 0;
      let v = line[x];
      if (filter === 1) v += a;
      else if (filter === 2) v += b;
      else if (filter === 3) v += (a + b) >> 1;
      else if (filter === 4) {
        const p = a + b - c;
        const pa = Math.abs(p - a), pb = Math.abs(p - b), pc = Math.abs(p - c);
        v += pa <= pb && pa <= pc ? a : pb <= pc ? b : c;
      }
      pixels[y * stride + x] = v & 0xff;
    }
  }
  return {
    width,
    height,
    at(x, y) {
      const i = y * stride + x * channels;
      return (pixels[i] << 16) | (pixels[i + 1] << 8) | pixels[i + 2];
    },
  };
}

export async function screenshot(page) {
  return decodePng(await page.screenshot());
}

export function near(colour, expected, tolerance = 12) {
  return [16, 8, 0].every((s) => Math.abs(((colour >> s) & 0xff) - ((expected >> s) & 0xff)) <= tolerance);
}

export const hex = (c) => "#" + c.toString(16).padStart(6, "0");

// Waits until the screen shows `expected` at (x, y).
export async function waitForColour(page, x, y, expected, timeout = 10000) {
  let last = -1;
  const end = Date.now() + timeout;
  while (Date.now() < end) {
    last = (await screenshot(page)).at(x, y);
    if (near(last, expected)) return;
    await new Promise((r) => setTimeout(r, 100));
  }
  throw new Error(`at (${x}, ${y}): ${hex(last)}, expected ${hex(expected)}`);
}

// The middle of a set of figures (the benchmarks report medians).
export function median(values) {
  const v = [...values].sort((a, b) => a - b);
  return v.length % 2 ? v[(v.length - 1) / 2] : (v[v.length / 2 - 1] + v[v.length / 2]) / 2;
}

export function removeAll(folder) {
  rmSync(folder, { recursive: true, force: true });
}
