// Issues exported with magpack web, read in a real headless Chromium from a
// plain static server, driven by clicks on the movies as a reader would.
import { test, before, after } from "node:test";
import assert from "node:assert/strict";
import { readFileSync, writeFileSync, mkdirSync, copyFileSync } from "node:fs";
import { join } from "node:path";
import {
  env, tempDir, magpack, serve, launch, openSite, waitForTimeline, waitForTrace, waitFor,
  screenshot, near, hex, waitForColour, removeAll,
} from "./harness.mjs";

// The demo issue in a 1024 x 768 page: its 800 x 600 window is centred, the
// title strip (16 px) above the movie, whose 800 x 584 stage is shown at 1:1.
const STAGE = { left: 112, top: 100 };
const at = (x, y) => [STAGE.left + x, STAGE.top + y];
const SIDEBAR = at(70, 400), SIDEBAR_BLUE = 0x1d5fa8;
const COVER = at(466, 116), COVER_BLUE = 0x2b6cb0;
const TOOLS = at(75, 181);
// A button of the Tools page: column, row.
const tool = (column, row) => at(166 + 208 * column + 98, 16 + 34 * row + 13);
const SECOND_BACKDROP = 0xfff7e0;

let browser;
let work;
const sites = [];

before(async () => {
  browser = await launch();
  work = tempDir();
});

after(async () => {
  await browser.close();
  for (const s of sites) s.stop();
  removeAll(work);
});

async function exportAndServe(issue, ...options) {
  const site = join(work, "site" + sites.length);
  magpack("web", issue, "-o", site, ...options);
  const server = await serve(site);
  sites.push(server);
  return { site, origin: server.origin };
}

// Everything the page asked for was a file of its own site.
function assertStayedOnTheSite(seen, origin) {
  const outside = seen.requests.filter((u) => !u.startsWith(origin + "/") && !u.startsWith("blob:") && !u.startsWith("data:"));
  assert.deepEqual(outside, []);
  assert.deepEqual(seen.errors, []);
}

async function click(page, [x, y]) {
  await page.mouse.click(x, y);
}

test("the demo issue: loading movie, main movie, windows, registry, save, another magazine", async () => {
  const { origin } = await exportAndServe(env("DEMO_ISSUE"), "--reg", env("DEMO_REG"));
  const { page, context, seen } = await openSite(browser, origin);

  await waitForTimeline(page, "start");
  const timeline = await page.evaluate(() => window.playerSite.timeline);
  assert.ok(timeline["loading drawn"] <= timeline["main movie"], JSON.stringify(timeline));
  assert.equal(await page.evaluate(() => window.playerSite.progress), 100);
  assert.equal(await page.title(), "示例杂志 · Demo Magazine");
  assert.equal(await page.textContent("#caption"), "示例杂志 · Demo Magazine");
  await waitForColour(page, ...SIDEBAR, SIDEBAR_BLUE);
  await waitForColour(page, ...COVER, COVER_BLUE);
  const shot = await screenshot(page);
  assert.ok(!near(shot.at(STAGE.left + 400, STAGE.top - 8), 0x3a3f47), "the title strip is drawn");
  assert.ok(near(shot.at(40, 40), 0x3a3f47), "the page around the window: " + hex(shot.at(40, 40)));
  assert.equal(await page.isVisible("#loading"), false, "the loading window is gone");

  await click(page, TOOLS);
  await click(page, tool(1, 0));  // read the registry: the value the site's .reg holds
  await waitForTrace(seen, /^hdgetreg → 你好，读者 · Hello, reader$/);

  await click(page, tool(0, 5));  // caption
  await waitFor(async () => (await page.textContent("#caption")) === "示例杂志 · 已修改 Changed", "the caption");
  assert.equal(await page.title(), "示例杂志 · 已修改 Changed");
  await click(page, tool(0, 4));  // opacity
  await waitFor(async () => Math.abs(Number(await page.$eval("#player", (e) => e.style.opacity)) - 180 / 255) < 0.001,
    "opacity");
  await click(page, tool(0, 4));

  await click(page, tool(0, 3));  // hide to the tray: the tray button brings it back
  await page.waitForSelector("#player.hidden", { state: "attached" });
  assert.equal(await page.textContent("#tray-button"), "显示主窗口");
  await page.click("#tray-button");
  await page.waitForSelector("#player:not(.hidden)", { state: "attached" });
  assert.equal(await page.textContent("#tray-button"), "隐藏主窗口");
  await click(page, tool(0, 2));  // minimise, then restore from the task bar
  await page.waitForSelector("#restore-button", { state: "visible" });
  await page.click("#restore-button");
  await waitForColour(page, ...SIDEBAR, SIDEBAR_BLUE);

  // A secondary window: a panel with the AS2 page's own engine.
  await click(page, tool(0, 6));
  await waitForTrace(seen, /^openflashwindow → 0$/);
  await page.waitForSelector(".panel iframe");
  const panel = await page.$eval(".panel iframe", (f) => { const r = f.getBoundingClientRect(); return [r.left, r.top]; });
  await waitForColour(page, Math.round(panel[0]) + 100, Math.round(panel[1]) + 20, 0x8a5a00);
  await waitForColour(page, Math.round(panel[0]) + 100, Math.round(panel[1]) + 120, 0xfff7e0);
  // The main movie stays drawn around the panel (once it was not, in the area
  // mirrored below it).
  assert.ok(near((await screenshot(page)).at(...SIDEBAR), SIDEBAR_BLUE), "the main movie beside the panel");
  await page.screenshot({ path: join(env("SCREENSHOT_DIR"), "web-secondary-window.png") });
  // The panel lies over the Tools page: the reader drags it aside by its bar.
  await page.mouse.move(Math.round(panel[0]) + 150, Math.round(panel[1]) - 11);
  await page.mouse.down();
  await page.mouse.move(Math.round(panel[0]) + 650, Math.round(panel[1]) + 380, { steps: 5 });
  await page.mouse.up();
  const moved = await page.$eval(".panel", (p) => p.getBoundingClientRect().left);
  assert.equal(Math.round(moved), Math.round(panel[0]) + 500);
  await click(page, tool(0, 7));  // close the windows
  await page.waitForSelector(".panel", { state: "detached" });

  // Save a text: a download with the bytes the Player would have written (its
  // editor, like this one, keeps line breaks as "\n").
  const text = "来自示例杂志的问候\nGreetings from the demo issue";
  for (const [encoding, expected] of [
    ["1", Buffer.concat([Buffer.from([0xff, 0xfe]), Buffer.from(text, "utf16le")])],
    ["2", Buffer.concat([Buffer.from([0xef, 0xbb, 0xbf]), Buffer.from(text, "utf8")])],
  ]) {
    await click(page, tool(0, 8));
    await page.waitForSelector("#save-text[open]");
    assert.equal(await page.inputValue("#save-text-body"), text);
    await page.selectOption("#save-text-encoding", encoding);
    const [download] = await Promise.all([page.waitForEvent("download"), page.click("#save-text-save")]);
    assert.equal(download.suggestedFilename(), "文本.txt");
    assert.deepEqual(readFileSync(await download.path()), expected);
  }

  // Another magazine: the second issue's movie shows itself, then goes back.
  await click(page, tool(1, 4));
  await waitForColour(page, ...at(600, 500), SECOND_BACKDROP);
  assert.equal(await page.isVisible("#player"), true);
  await click(page, at(160, 173));  // back to the first
  await waitForColour(page, ...SIDEBAR, SIDEBAR_BLUE);
  await page.screenshot({ path: join(env("SCREENSHOT_DIR"), "web-demo.png") });

  // Quit: the page says the issue is closed.
  await click(page, at(75, 543));
  await page.waitForSelector("#closed", { state: "visible" });
  assertStayedOnTheSite(seen, origin);
  await context.close();
});

// The command traffic between the main movie's frame and the page.
async function spyOnCommands(page) {
  await page.waitForFunction(() => window.playerSite);
  await page.evaluate(() => {
    const site = window.playerSite;
    const request = site.request.bind(site);
    site.log = [];
    site.request = (engine, kind, data) => {
      const answer = request(engine, kind, data);
      if (engine === "main") site.log.push({ kind, data, answer });
      return answer;
    };
  });
}

// What the probe movie logged: it logs through writelog, which the page
// leaves to the desktop, but the request itself is seen.
async function probeLog(page) {
  return page.evaluate(() => window.playerSite.log
    .filter((r) => r.kind === "fscommand" && JSON.parse(r.data)[0] === "writelog")
    .map((r) => JSON.parse(r.data)[1])
    .filter((line) => line.startsWith("C:\\log.txt|"))
    .map((line) => line.slice(11).trim()));
}

async function callsIntoTheMovie(page, name) {
  return page.evaluate((n) => window.playerSite.log.flatMap((r) => r.answer.queued || [])
    .filter((xml) => xml.includes('name="' + n + '"')), name);
}

test("an issue made for the Windows viewer plays the same way; hostile input stays harmless", async () => {
  const issue = join(work, "windows-issue");
  mkdirSync(issue);
  copyFileSync(env("PROBE_SWF"), join(issue, "vellmain.swf"));
  writeFileSync(join(issue, "config.xml"),
    "<MSG><Wnd Title='Old issue' Width='640' Height='480' bShowTitle='FALSE' bShowLoading='TRUE' LoadX='431' LoadY='168'/></MSG>");
  const hostile = '<img src=x onerror="window.parent.hacked=1">&amp; <b>bold</b>';
  writeFileSync(join(issue, "script.txt"), [
    "log\tC:\\log.txt",
    "fs\tstart",
    "note\tstarted",
    "ei\tbrivol_fileexists\t/etc/passwd",
    "ei\tbrivol_alert\t" + hostile,
    "ei\tbrivol_opendialog\tText|*.txt||",
    "fs\twritelog\tC:\\x.txt|y",
    "fs\treadreg\tHKEY_CURRENT_USER|Software\\MagazinePlayer\\Demo|Greeting",
    "fs\taddregstring\tHKEY_CURRENT_USER|Software\\MagazinePlayer\\Demo|Greeting|改过 changed",
    "fs\taddregstring\tHKEY_CURRENT_USER|Software\\NoSuchKey|Name|value",
    "fs\treadreg\tHKEY_CURRENT_USER|Software\\NoSuchKey|Name",
    "ei\tbrivol_openflashwindow\t..\\..\\..\\etc\\passwd\t1\t100\t100\t0",
    "ei\tbrivol_openflashwindow\thttp://example.com/x.swf\t1\t100\t100\t0",
    "ei\tbrivol_windowsize\t1",
    "fill\t3c8d2f",
    "note\tdone",
  ].join("\n"));
  // The Windows viewer's executable stands in front of the package.
  const stub = join(work, "viewer.exe");
  writeFileSync(stub, Buffer.concat([Buffer.from("MZ"), Buffer.alloc(405502, 0x90)]));
  const old = join(work, "old-issue.exe");
  magpack("build", "--player", stub, "--loading", env("LOADING_SWF"), issue, "-o", old);

  const { origin } = await exportAndServe(old, "--reg", env("DEMO_REG"));
  const { page, context, seen } = await openSite(browser, origin);
  await spyOnCommands(page);
  await waitFor(async () => (await probeLog(page)).includes("done"), "the probe's script", 20000);
  assert.deepEqual(await probeLog(page), [
    "started",
    "brivol_fileexists=false",  // the reader's files are out of reach
    "brivol_alert=null",
    "brivol_opendialog=null",   // as a cancel
    "brivol_openflashwindow=0",
    "brivol_openflashwindow=1",
    "brivol_windowsize=null",
    "done",
  ]);
  assert.deepEqual(await callsIntoTheMovie(page, "hdgetreg"), [
    '<invoke name="hdgetreg" > <arguments><string>你好，读者 · Hello, reader</string></arguments></invoke>',
    '<invoke name="hdgetreg" > <arguments><string></string></arguments></invoke>',
  ]);
  // The alert is a page dialog showing the text as text.
  await page.waitForSelector("#message-box[open]");
  assert.equal(await page.textContent("#message-text"), hostile);
  assert.equal(await page.evaluate(() => document.querySelectorAll("img, b").length), 0);
  assert.equal(await page.evaluate(() => window.hacked), undefined);
  // The desktop-only features said so, once.
  assert.match(await page.textContent("#notice"), /desktop Player/);
  assert.equal(await page.isVisible("#notice"), true);
  // "参数不对齐" for the size with one number, after the alert.
  await page.click("#message-box button");
  await waitFor(async () => (await page.textContent("#message-text")) === "参数不对齐", "the second box");
  await page.click("#message-box button");
  await page.waitForSelector("#message-box:not([open])", { state: "attached" });
  // 640 x 480 without a title strip, centred: the probe's colour fills it.
  await waitForColour(page, 192 + 320, 144 + 240, 0x3c8d2f);
  const shot = await screenshot(page);
  assert.ok(near(shot.at(192 + 2, 144 + 2), 0x3c8d2f), "no title strip: " + hex(shot.at(194, 146)));
  assert.ok(near(shot.at(100, 100), 0x3a3f47), "outside the window: " + hex(shot.at(100, 100)));
  // A size from the movie: the window takes it, at the page's corner, as the Player puts it.
  await page.evaluate(() => window.playerSite.request("main", "flashcall",
    '<invoke name="brivol_windowsize" returntype="xml"><arguments><number>320</number><number>240</number></arguments></invoke>'));
  assert.deepEqual(await page.$eval("#player", (p) => { const r = p.getBoundingClientRect(); return [r.left, r.top, r.width, r.height]; }),
    [0, 0, 320, 240]);
  await waitForColour(page, 10, 230, 0x3c8d2f);

  assertStayedOnTheSite(seen, origin);

  // The registry lives on in the browser: a reader's next visit reads the
  // changed value, and the site's .reg is not imported over it again.
  await page.reload();
  await spyOnCommands(page);
  await waitFor(async () => (await probeLog(page)).includes("done"), "the probe's script again", 20000);
  assert.equal((await callsIntoTheMovie(page, "hdgetreg"))[0],
    '<invoke name="hdgetreg" > <arguments><string>改过 changed</string></arguments></invoke>');
  await context.close();
});

test("names that are not plain stay names; Bfull fills the page", async () => {
  const issue = join(work, "odd-issue");
  mkdirSync(join(issue, "子 folder"), { recursive: true });
  copyFileSync(env("PROBE_SWF"), join(issue, "vellmain.swf"));
  const odd = 'odd "name" #1 %41.txt';
  writeFileSync(join(issue, "子 folder", odd), "odd bytes");
  writeFileSync(join(issue, "script.txt"), "fs\tstart\nfill\t3c8d2f\n");
  writeFileSync(join(issue, "config.xml"),
    "<MSG><Wnd Title='&quot;Q&quot; \\ &lt;b&gt;' Width='300' Height='200' Bfull='TRUE' bShowTitle='TRUE' TBKbmp='strip.bmp'/></MSG>");
  writeFileSync(join(issue, "Strip.BMP"), "BM");
  const out = join(work, "odd.exe");
  magpack("build", "--player", env("MAGPACK"), "--loading", env("PROBE_SWF"), issue, "-o", out);
  const { site, origin } = await exportAndServe(out);
  const json = JSON.parse(readFileSync(join(site, "site.json"), "utf8"));
  assert.equal(json.title, '"Q" \\ <b>');
  assert.equal(json.files["子 folder/" + odd], 9);
  assert.equal(json.loading, null);  // no bShowLoading: no loading window
  assert.equal(json.titleBitmap, "issue/Strip.BMP");  // named in another letter case
  const { page, context, seen } = await openSite(browser, origin);
  await waitForTimeline(page, "start");
  assert.equal(await page.title(), '"Q" \\ <b>');
  assert.equal(await page.evaluate(() => document.querySelectorAll("#caption *").length), 0);
  // Full page: the movie covers every corner, title strip or not.
  await waitForColour(page, 1, 1, 0x3c8d2f);
  await waitForColour(page, 1022, 766, 0x3c8d2f);
  // A file is found under its own name, whichever way the movie writes it.
  const text = await page.evaluate(async (name) => (await fetch("issue/" + name.split("/").map(encodeURIComponent).join("/"))).text(),
    "子 folder/" + odd);
  assert.equal(text, "odd bytes");
  const before = seen.requests.filter((u) => u === origin + "/issue/vellmain.swf").length;
  await page.evaluate(() => window.playerSite.request("main", "flashcall",
    '<invoke name="brivol_openflashwindow" returntype="xml"><arguments><string>/issue\\子 FOLDER\\..\\VellMain.SWF</string>' +
    "<number>1</number><number>100</number><number>100</number><number>0</number></arguments></invoke>"));
  await waitFor(async () => seen.requests.filter((u) => u === origin + "/issue/vellmain.swf").length > before,
    "the panel's movie");
  assertStayedOnTheSite(seen, origin);
  await context.close();
});

test("on a screen smaller than the window, the window is scaled down whole and still answers clicks", async () => {
  const { origin } = await exportAndServe(env("DEMO_ISSUE"));
  // 800 x 600 in 700 x 450: scaled by 0.75 to 600 x 450, centred.
  const { page, context, seen } = await openSite(browser, origin, { width: 700, height: 450 });
  await waitForTimeline(page, "start");
  const k = 0.75, left = 50, top = 0;
  const scaled = (x, y) => [Math.round(left + x * k), Math.round(top + (16 + y) * k)];
  await waitForColour(page, ...scaled(70, 400), SIDEBAR_BLUE);
  await waitForColour(page, ...scaled(466, 116), COVER_BLUE);
  const shot = await screenshot(page);
  assert.ok(near(shot.at(left - 10, 200), 0x3a3f47), "the page beside the window: " + hex(shot.at(left - 10, 200)));
  assert.ok(near(shot.at(left + 600 + 10, 200), 0x3a3f47), "the page beside the window");
  await page.mouse.click(...scaled(75, 181));     // Tools
  await page.mouse.click(...scaled(166 + 208 + 98, 16 + 13));  // read the registry
  await waitForTrace(seen, /^hdgetreg → \(empty\)$/);  // no .reg with this export
  await context.close();
});

test("an archive serves issues from folders of its own: the page asks only for its folder's files", async () => {
  const archive = join(work, "archive");
  mkdirSync(archive);
  magpack("web", env("DEMO_ISSUE"), "-o", join(archive, "2026-01"));
  const server = await serve(archive, "/2026-01/site.json");
  sites.push(server);
  const { page, context, seen } = await openSite(browser, server.origin, { path: "/2026-01/" });
  await waitForTimeline(page, "start");
  await waitForColour(page, ...SIDEBAR, SIDEBAR_BLUE);
  const outside = seen.requests.filter((u) => !u.startsWith(server.origin + "/2026-01/") && !u.startsWith("blob:") &&
    !u.startsWith("data:"));
  assert.deepEqual(outside, []);
  await context.close();
});

test("magpack web refuses what it cannot export and keeps what is in the way", async () => {
  const notEmpty = join(work, "not-empty");
  mkdirSync(notEmpty);
  writeFileSync(join(notEmpty, "mine.txt"), "keep me");
  assert.throws(() => magpack("web", env("DEMO_ISSUE"), "-o", notEmpty), /not empty/);
  assert.equal(readFileSync(join(notEmpty, "mine.txt"), "utf8"), "keep me");
  assert.throws(() => magpack("web", env("PROBE_SWF"), "-o", join(work, "x")), /magpack: /);
  assert.throws(() => magpack("web", env("DEMO_ISSUE"), "-o", join(work, "y"), "--reg", env("PROBE_SWF")),
    /not a registry file/);
  // A former export is written over.
  const site = join(work, "again");
  magpack("web", env("DEMO_ISSUE"), "-o", site);
  magpack("web", env("DEMO_ISSUE"), "-o", site);
  assert.equal(JSON.parse(readFileSync(join(site, "site.json"), "utf8")).mainMovie, "vellmain.swf");
});
