// Many issues as one site with magpack archive, read in headless Chromium from
// a plain static server: the catalogue, its search, an issue opened and left,
// one shared engine, and a second run that exports only what changed.
import { test, before, after } from "node:test";
import assert from "node:assert/strict";
import { readFileSync, writeFileSync, mkdirSync, copyFileSync, statSync, readdirSync, rmSync } from "node:fs";
import { join, relative } from "node:path";
import {
  env, tempDir, magpack, serve, launchWithProfile, recordPage, waitForTimeline, waitForColour, screenshot, near, hex, removeAll,
} from "./harness.mjs";

let work, inputs;
const servers = [];

// A probe issue: its movie sends start and fills its stage with `colour`.
function probeIssue(name, config, { stub = env("MAGPACK"), files = {} } = {}) {
  const folder = join(work, "src-" + servers.length + "-" + Math.random().toString(36).slice(2));
  mkdirSync(folder);
  copyFileSync(env("PROBE_SWF"), join(folder, "vellmain.swf"));
  writeFileSync(join(folder, "config.xml"), config);
  writeFileSync(join(folder, "script.txt"), "fs\tstart\nfill\t3c8d2f\n");
  for (const [file, bytes] of Object.entries(files)) {
    mkdirSync(join(folder, file, ".."), { recursive: true });
    writeFileSync(join(folder, file), bytes);
  }
  magpack("build", "--player", stub, "--loading", env("LOADING_SWF"), folder, "-o", join(inputs, name));
}

function filesBelow(folder) {
  const out = {};
  for (const entry of readdirSync(folder, { recursive: true, withFileTypes: true })) {
    if (entry.isFile()) {
      const path = join(entry.parentPath ?? entry.path, entry.name);
      out[relative(folder, path)] = readFileSync(path);
    }
  }
  return out;
}

before(async () => {
  work = tempDir();
  inputs = join(work, "issues");
  mkdirSync(inputs);
  mkdirSync(env("SCREENSHOT_DIR"), { recursive: true });
  copyFileSync(env("DEMO_ISSUE"), join(inputs, "demo.exe"));
  // The Windows viewer's executable stands in front of the package.
  const stub = join(work, "viewer.exe");
  writeFileSync(stub, Buffer.concat([Buffer.from("MZ"), Buffer.alloc(405502, 0x90)]));
  probeIssue("OLD-ISSUE.EXE",
    "<MSG><Wnd Title='旧杂志 2004年11月 Old' Width='640' Height='480' bShowTitle='FALSE' bShowLoading='TRUE' LoadX='431' LoadY='168'/></MSG>",
    { stub });
  probeIssue("full.exe", "<MSG><Wnd Title='Full 2006-02' Width='300' Height='200' Bfull='TRUE'/></MSG>");
  mkdirSync(join(inputs, "子 folder"));
  probeIssue(join("子 folder", '第3期 "odd" #1 %41.exe'),
    "<MSG><Wnd Title='&quot;Odd&quot; &lt;b&gt; 2005.7' Width='300' Height='200' bShowTitle='TRUE' TBKbmp='strip.bmp'/></MSG>",
    { files: { "Strip.BMP": readFileSync(env("TITLE_BMP")), "子 folder/a b.txt": "odd bytes" } });
  const demo = readFileSync(env("DEMO_ISSUE"));
  writeFileSync(join(inputs, "damaged.exe"), demo.subarray(0, demo.length - 5000));
});

after(async () => {
  for (const s of servers) s.stop();
  removeAll(work);
});

test("an archive of four issues and a damaged file: catalogue, search, issues played, one engine", async () => {
  const site = join(work, "site");
  const summary = magpack("archive", inputs, "-o", site, "--jobs", "2");
  assert.match(summary, /4 issues \(4 exported, 0 unchanged, 0 removed\)/);
  assert.match(summary, /left out, 1 file that could not be read:\n  .*damaged\.exe: /);

  const catalogue = JSON.parse(readFileSync(join(site, "catalogue.json"), "utf8"));
  // Newest first, by the month each title names; the demo names none.
  assert.deepEqual(catalogue.issues.map((i) => [i.title, i.date]), [
    ["Full 2006-02", "2006-02"],
    ['"Odd" <b> 2005.7', "2005-07"],
    ["旧杂志 2004年11月 Old", "2004-11"],
    ["示例杂志 · Demo Magazine", null],
  ]);
  assert.ok(catalogue.issues.every((i) => i.cover), JSON.stringify(catalogue.issues));
  const odd = catalogue.issues[1];
  assert.match(odd.id, /^3_odd_1_41-[0-9a-f]{8}$/);

  const log = [];
  const server = await serve(site, "/index.html", log);
  servers.push(server);
  const browser = await launchWithProfile(join(work, "profile"));
  const page = await browser.newPage();
  const seen = recordPage(page);
  await page.goto(server.origin + "/index.html");
  const items = page.locator("#issues > li:visible");
  assert.equal(await items.count(), 4);
  assert.deepEqual(await page.locator("#issues .title").allTextContents(), catalogue.issues.map((i) => i.title));
  await page.waitForFunction(() => [...document.images].every((i) => i.complete && i.naturalWidth > 0));
  await page.screenshot({ path: join(env("SCREENSHOT_DIR"), "archive-catalogue.png") });
  // The demo's cover is the Player's picture of its main window: its colours
  // where they are on the window.
  const cover = await page.locator("#issues > li").nth(3).locator("img").boundingBox();
  const shot = await screenshot(page);
  const pixel = (fx, fy) => shot.at(Math.round(cover.x + cover.width * fx), Math.round(cover.y + cover.height * fy));
  assert.ok(near(pixel(0.6, 0.2), 0x2b6cb0, 16), "the demo's cover: " + hex(pixel(0.6, 0.2)));
  assert.ok(near(pixel(0.6, 0.8), 0xfafafa, 16), "the demo's cover: " + hex(pixel(0.6, 0.8)));

  // The search filters as one types, by any part of the title, letters in any case.
  await page.locator("#search").pressSequentially("old");
  assert.deepEqual(await items.locator(".title").allTextContents(), ["旧杂志 2004年11月 Old"]);
  assert.equal(await page.textContent("#count"), "1 期");
  await page.locator("#search").fill("杂志");
  assert.equal(await items.count(), 2);
  await page.locator("#search").fill("no such issue");
  assert.equal(await items.count(), 0);
  assert.equal(await page.isVisible("#none"), true);
  await page.locator("#search").fill("");
  assert.equal(await items.count(), 4);

  // A click plays the issue; Back returns to the catalogue; another issue plays.
  await page.locator("#issues a", { hasText: "Demo Magazine" }).click();
  await waitForTimeline(page, "start");
  await waitForColour(page, 112 + 70, 100 + 400, 0x1d5fa8);
  await page.goBack();
  await page.locator("#search").waitFor();
  await page.locator("#issues a", { hasText: "Old" }).click();
  await waitForTimeline(page, "start");
  await waitForColour(page, 512, 384, 0x3c8d2f);
  await page.screenshot({ path: join(env("SCREENSHOT_DIR"), "archive-old-issue.png") });

  const outside = seen.requests.filter((u) => !u.startsWith(server.origin + "/") && !/^(blob|data):/.test(u));
  assert.deepEqual(outside, []);
  assert.deepEqual(seen.errors, []);
  // The engine and the font came once; the second issue used them again
  // (from the cache, or after the server answered that they had not changed).
  const shared = log.filter((r) => /^\/shared\/.*\.(wasm|ttf|ttc|otf)$/.test(r.path));
  assert.ok(shared.some((r) => r.path.endsWith(".wasm")), JSON.stringify(log));
  const full = {};
  for (const r of shared.filter((r) => r.status === 200)) full[r.path] = (full[r.path] || 0) + 1;
  assert.ok(Object.values(full).every((n) => n === 1), JSON.stringify(full));
  await browser.close();
});

test("a second run exports only what changed and drops what is gone; the same input gives the same bytes", async () => {
  const site = join(work, "site-again");
  magpack("archive", inputs, "-o", site, "--no-covers");
  const first = filesBelow(site);
  const demoSite = Object.keys(first).find((f) => f.startsWith("issues/demo/") && f.endsWith("site.json"));
  const demoTime = statSync(join(site, demoSite)).mtimeMs;

  // The same bytes in another place: nothing new.
  const elsewhere = join(work, "site-elsewhere");
  magpack("archive", inputs, "-o", elsewhere, "--no-covers");
  assert.deepEqual(Object.keys(filesBelow(elsewhere)), Object.keys(first));
  for (const [name, bytes] of Object.entries(filesBelow(elsewhere))) assert.ok(bytes.equals(first[name]), name);

  // A file copied over with the same bytes, and one issue rebuilt with another title.
  copyFileSync(env("DEMO_ISSUE"), join(inputs, "demo.exe"));
  probeIssue("full.exe", "<MSG><Wnd Title='Full, second printing 2006-03' Width='300' Height='200' Bfull='TRUE'/></MSG>");
  assert.match(magpack("archive", inputs, "-o", site, "--no-covers"), /4 issues \(1 exported, 3 unchanged, 0 removed\)/);
  assert.equal(statSync(join(site, demoSite)).mtimeMs, demoTime);
  const catalogue = JSON.parse(readFileSync(join(site, "catalogue.json"), "utf8"));
  assert.equal(catalogue.issues[0].title, "Full, second printing 2006-03");

  rmSync(join(inputs, "full.exe"));
  assert.match(magpack("archive", inputs, "-o", site, "--no-covers"), /3 issues \(0 exported, 3 unchanged, 1 removed\)/);
  assert.deepEqual(readdirSync(join(site, "issues")).sort(), catalogue.issues.slice(1).map((i) => i.id).sort());

  // A folder that is not an archive is refused and kept as it was.
  const other = join(work, "not-an-archive");
  mkdirSync(other);
  writeFileSync(join(other, "keep.txt"), "mine");
  assert.throws(() => magpack("archive", inputs, "-o", other), /holds no earlier archive/);
  assert.deepEqual(readdirSync(other), ["keep.txt"]);
});
