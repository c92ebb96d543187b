// The web export's figures, each against a reference measured in the same
// run, alternating with it; medians of ROUNDS.
//   export:  magpack web on the demo issue   vs  magpack extract (the Player's extraction alone)
//   page:    the exported page, from navigation to the main movie's "start" and
//            first frame, in headless Chromium from a static server on 127.0.0.1
//            vs  a bare page of the movie engine playing the same main movie with
//            the same font
// Usage: node bench/web_bench.mjs [BUILD_DIR] [ROUNDS]   (after scripts/test or a build)
import { execFileSync } from "node:child_process";
import { join, resolve } from "node:path";
import { performance } from "node:perf_hooks";
import { launch, serve, tempDir, removeAll, median } from "../tests/web/harness.mjs";

const build = resolve(process.argv[2] || "build");
const rounds = Number(process.argv[3] || 5);
const magpack = join(build, "tools/magpack/magpack");
const issue = join(build, "demo/demo-issue");
const work = tempDir();

function timed(args) {
  const start = performance.now();
  execFileSync(magpack, args, { stdio: "ignore" });
  return performance.now() - start;
}

const exportMs = [];
const extractMs = [];
for (let i = 0; i < rounds; ++i) {
  removeAll(join(work, "site"));
  removeAll(join(work, "extracted"));
  exportMs.push(timed(["web", issue, "-o", join(work, "site"), "--reg", resolve("demo/demo.reg")]));
  extractMs.push(timed(["extract", issue, join(work, "extracted")]));
}

// Every frame notes when its movie's first frame is up (bridge.js logs it).
const noteFirstFrame = () => {
  const log = console.log.bind(console);
  console.log = (...args) => {
    if (args[0] === "[timeline] first frame" && window.firstFrameAt === undefined) {
      window.firstFrameAt = performance.now();
    }
    log(...args);
  };
};

const server = await serve(join(work, "site"));
const browser = await launch();
const site = { loading: [], start: [], drawn: [] };
const bare = [];
for (let i = 0; i < rounds; ++i) {
  // A fresh context each time: nothing in the browser's cache.
  let context = await browser.newContext({ viewport: { width: 1024, height: 768 } });
  let page = await context.newPage();
  await page.goto(server.origin + "/index.html");
  await page.waitForFunction(() => window.playerSite && window.playerSite.timeline["main drawn"] !== undefined,
    null, { timeout: 30000 });
  const timeline = await page.evaluate(() => window.playerSite.timeline);
  site.loading.push(timeline["loading drawn"]);
  site.start.push(timeline.start);
  site.drawn.push(timeline["main drawn"]);
  await context.close();

  context = await browser.newContext({ viewport: { width: 800, height: 584 } });
  await context.addInitScript(noteFirstFrame);
  page = await context.newPage();
  await page.goto(server.origin + "/frame.html?engine=bench");
  await page.evaluate(async (origin) => {
    const font = (await (await fetch("site.json")).json()).font;
    font.url = new URL(font.url, location.href).href;
    window.playerHost.load(origin + "/issue/vellmain.swf", origin + "/issue/", { font, preferredRenderer: "webgl" });
  }, server.origin);
  await page.waitForFunction(() => window.firstFrameAt !== undefined, null, { timeout: 30000 });
  bare.push(await page.evaluate(() => window.firstFrameAt));
  await context.close();
}
await browser.close();
server.stop();
removeAll(work);

const f = (ms) => ms.toFixed(0).padStart(6) + " ms";
console.log(`medians of ${rounds} rounds, alternating with the reference`);
console.log(`export   magpack web      ${f(median(exportMs))}   magpack extract ${f(median(extractMs))}` +
  `   ratio ${(median(exportMs) / median(extractMs)).toFixed(2)}`);
console.log(`page     loading movie    ${f(median(site.loading))}   (its first frame)`);
console.log(`page     "start"          ${f(median(site.start))}`);
console.log(`page     first frame      ${f(median(site.drawn))}   bare engine page ${f(median(bare))}` +
  `   ratio ${(median(site.drawn) / median(bare)).toFixed(2)}`);
