// The seam between a movie and the browser in an exported issue made on
// Windows: names in any case, GBK text, saved objects, links, full screen —
// the same movies as the Player's desktop tests (tests/e2e/seams_e2e_test.cpp).
import { test, before, after } from "node:test";
import assert from "node:assert/strict";
import { execFileSync } from "node:child_process";
import { join } from "node:path";
import { env, tempDir, magpack, serve, launch, openSite, waitForTrace, waitFor, removeAll } from "./harness.mjs";

const CHINESE = "编者㐀";
const AS2 = ["vars2 " + CHINESE, "data2 v=" + CHINESE + "&w=1", "utf2 " + CHINESE, "xml2 " + CHINESE,
  "loadvariables2 " + CHINESE, "css2 宋体",
  "/issue/pages/page2.swf"];
const AS3 = ["text3 v=" + CHINESE + "&w=1", "utf3 v=" + CHINESE, "bin3 304 406030", "/issue/pages/page2.swf"];

let browser;
let work;
const servers = [];

before(async () => {
  browser = await launch();
  work = tempDir();
});

after(async () => {
  await browser.close();
  for (const s of servers) s.stop();
  removeAll(work);
});

async function site(kind) {
  const name = "issue" + servers.length;
  const issue = join(work, name + ".exe");
  execFileSync(env("SEAMS_ISSUE"), [kind, issue]);
  const folder = join(work, name);
  magpack("web", issue, "-o", folder);
  const server = await serve(folder);
  servers.push(server);
  return server.origin;
}

const escape = (s) => s.replace(/[.*+?^${}()|[\]\\]/g, "\\$&");

async function clickMovie(page) {
  const box = await page.locator("#player iframe").first().boundingBox();
  await page.mouse.click(box.x + box.width / 2, box.y + box.height / 2);
}

test("Windows names and code-page text reach the movies as in the Player", async () => {
  for (const [kind, lines] of [["as2", AS2], ["as2-codepage", AS2], [env("SEAMS_SWF"), AS3],
    [env("SEAMS_CODEPAGE_SWF"), AS3]]) {
    const { page, context, seen } = await openSite(browser, await site(kind));
    for (const line of lines) await waitForTrace(seen, new RegExp(escape(line)));
    assert.ok(!seen.traces.some((t) => t.startsWith("failed ")), JSON.stringify(seen.traces));
    assert.ok(!seen.console.some((t) => t.includes("Failed to parse")), JSON.stringify(seen.console));
    await context.close();
  }
});

test("a movie's URL and saved objects: the browser keeps them across visits", async () => {
  const origin = await site(env("SEAMS_SWF"));
  const { page, context, seen } = await openSite(browser, origin);
  await waitForTrace(seen, /^url3 http:\/\/127\.0\.0\.1:\d+\/issue\/vellmain\.swf$/);
  await waitForTrace(seen, /^own3 null$/);
  seen.traces.length = 0;
  await page.reload();
  await waitForTrace(seen, /^own3 kept$/);
  await context.close();
});

test("links open in a new tab, documents of the issue too, and nothing else opens", async () => {
  const { page, context, seen } = await openSite(browser, await site("links"));
  await waitForTrace(seen, /^ready2$/);
  await page.evaluate(() => {
    window.opened = [];
    window.open = (url) => { window.opened.push(String(url)); return null; };
  });
  await clickMovie(page);
  await waitForTrace(seen, /^clicked$/);
  await waitFor(async () => (await page.evaluate(() => window.opened.length)) >= 6, "the links", 5000);
  await new Promise((r) => setTimeout(r, 500));  // anything else would have come by now
  const opened = (await page.evaluate(() => window.opened)).sort();
  assert.equal(opened.length, 6, JSON.stringify(opened) + JSON.stringify(seen.console));
  assert.equal(opened[0], "http://example.com/publisher");
  assert.match(opened[1], /^https:\/\/example\.com\/form\?/);
  assert.equal(opened[2], "https://example.com/post");
  assert.equal(opened[3], "https://example.com/self");
  assert.equal(opened[4], "issue/docs/readme.htm");
  assert.match(opened[5], /^mailto:editors@example\.com/);
  for (const refused of ["file:///etc/passwd", "data:", "run.sh"])
    assert.ok(seen.console.some((t) => t.startsWith("[link] refused") && t.includes(refused)), refused);
  assert.equal(await page.evaluate(() => document.querySelector("#player iframe").contentWindow.location.pathname),
    new URL("frame.html", page.url()).pathname, "the movie's frame navigated away");
  await context.close();
});

test("a movie's full screen is the browser's full screen of its frame, and back", async () => {
  for (const [kind, label] of [["fullscreen", "fullscreen2 "], [env("SEAMS_SWF"), "fullscreen3 "]]) {
    const { page, context, seen } = await openSite(browser, await site(kind));
    await waitForTrace(seen, /^ready/);
    await clickMovie(page);
    await waitForTrace(seen, new RegExp("^" + label + "true$"));
    assert.equal(await page.evaluate(() => document.fullscreenElement && document.fullscreenElement.tagName), "IFRAME");
    await page.mouse.click(500, 400);
    await waitForTrace(seen, new RegExp("^" + label + "false$"));
    assert.equal(await page.evaluate(() => document.fullscreenElement), null);
    await context.close();
  }
});
