// magpack archive on a generated archive of ISSUES issues (the demo's files
// with other titles and padding, behind a small Windows stub), each figure
// against a reference measured in the same run, alternating; medians of ROUNDS.
//   export:     magpack archive --no-covers --jobs 1   vs  magpack extract of every issue, one by one
//   size:       the site                               vs  the issues' extracted files plus one copy of shared/
//   re-run:     one issue changed                      vs  the full export
//   catalogue:  10,000 entries as magpack writes them, in headless Chromium: first paint, and a filter
//   cover:      magazine-player --thumbnail            vs  the Player's own start until "start" (offscreen)
// Usage: node bench/archive_bench.mjs [BUILD_DIR] [ROUNDS] [ISSUES]
import { execFileSync, spawn } from "node:child_process";
import { copyFileSync, mkdirSync, readFileSync, writeFileSync, readdirSync, statSync, rmSync } from "node:fs";
import { join, resolve } from "node:path";
import { performance } from "node:perf_hooks";
import { launch, serve, tempDir, removeAll, median } from "../tests/web/harness.mjs";

const build = resolve(process.argv[2] || "build");
const rounds = Number(process.argv[3] || 5);
const count = Number(process.argv[4] || 200);
const magpack = join(build, "tools/magpack/magpack");
const player = join(build, "player");
const demo = join(build, "demo/demo-issue");
const work = tempDir();

const ms = (v) => Math.round(v) + " ms";
const mb = (v) => (v / 1e6).toFixed(1) + " MB";

function timed(command, args) {
  const start = performance.now();
  execFileSync(command, args, { stdio: "ignore" });
  return performance.now() - start;
}

function bytesBelow(folder) {
  let total = 0;
  for (const entry of readdirSync(folder, { recursive: true, withFileTypes: true }))
    if (entry.isFile()) total += statSync(join(entry.parentPath ?? entry.path, entry.name)).size;
  return total;
}

// ---- The archive: the demo's files, each issue with its own title and padding.
const source = join(work, "source");
const inputs = join(work, "issues");
mkdirSync(inputs);
execFileSync(magpack, ["extract", demo, source], { stdio: "ignore" });
rmSync(join(source, "second"), { recursive: true });  // kept packed as second.qk
const loading = join(work, "Loading.swf");
copyFileSync(join(source, "Loading.swf"), loading);
rmSync(join(source, "Loading.swf"));
const stub = join(work, "viewer.exe");
writeFileSync(stub, Buffer.concat([Buffer.from("MZ"), Buffer.alloc(40000, 0x90)]));
const config = readFileSync(join(source, "config.xml"), "utf8");
function makeIssue(n, edition = "") {
  const year = 2000 + (n % 20), month = 1 + (n % 12);
  writeFileSync(join(source, "config.xml"),
    config.replace(/Title=(['"])[^'"]*\1/, `Title="第${n}期 ${year}年${month}月${edition}"`));
  writeFileSync(join(source, "padding.bin"), Buffer.alloc(20000 + ((n * 7919) % 200000), n & 0xff));
  execFileSync(magpack, ["build", "--player", stub, "--loading", loading, source,
    "-o", join(inputs, `issue-${String(n).padStart(4, "0")}.exe`)], { stdio: "ignore" });
}
for (let n = 0; n < count; ++n) makeIssue(n);
const issues = readdirSync(inputs).map((f) => join(inputs, f));

const exportMs = [], extractMs = [], rerunMs = [];
let siteBytes = 0, extractedBytes = 0, sharedBytes = 0;
for (let i = 0; i < rounds; ++i) {
  const site = join(work, "site");
  removeAll(site);
  exportMs.push(timed(magpack, ["archive", inputs, "-o", site, "--no-covers", "--jobs", "1"]));
  const extracted = join(work, "extracted");
  removeAll(extracted);
  const start = performance.now();
  issues.forEach((issue, n) => execFileSync(magpack, ["extract", issue, join(extracted, String(n))], { stdio: "ignore" }));
  extractMs.push(performance.now() - start);
  makeIssue(count >> 1, " 再版" + i);  // bytes of its own every round
  rerunMs.push(timed(magpack, ["archive", inputs, "-o", site, "--no-covers", "--jobs", "1"]));
  siteBytes = bytesBelow(site);
  sharedBytes = bytesBelow(join(site, "shared"));
  extractedBytes = bytesBelow(extracted);
}

// ---- The catalogue with 10,000 entries: the list magpack wrote, repeated with other titles.
const site = join(work, "site");
const page = readFileSync(join(site, "index.html"), "utf8");
const items = page.match(/<li [^\n]*<\/li>\n/g);
let many = "";
for (let n = 0; many.split("<li ").length <= 10000; ++n)
  many += items.map((li) => li.replace(/第(\d+)期/g, (m, k) => `第${k}-${n}期`)).join("");
many = many.split("\n").slice(0, 10000).join("\n") + "\n";
writeFileSync(join(site, "many.html"), page.replace(items.join(""), many));
const server = await serve(site, "/many.html");
const browser = await launch();
const paintMs = [], filterMs = [];
for (let i = 0; i < rounds; ++i) {
  const context = await browser.newContext({ viewport: { width: 1024, height: 768 } });
  const tab = await context.newPage();
  await tab.goto(server.origin + "/many.html");
  await tab.waitForFunction(() => performance.getEntriesByName("first-contentful-paint").length > 0);
  paintMs.push(await tab.evaluate(() => performance.getEntriesByName("first-contentful-paint")[0].startTime));
  filterMs.push(await tab.evaluate(async () => {
    const search = document.getElementById("search");
    const start = performance.now();
    search.value = "2013年5月";
    search.dispatchEvent(new Event("input"));
    await new Promise((r) => requestAnimationFrame(() => requestAnimationFrame(r)));
    return performance.now() - start;
  }));
  await context.close();
}
await browser.close();
server.stop();

// ---- A cover against the Player's own start-up, both with no display.
function untilStart() {
  return new Promise((done, fail) => {
    const start = performance.now();
    const child = spawn(player, [demo], {
      stdio: ["ignore", "ignore", "pipe"],
      env: { ...process.env, PLAYER_TRACE: "1", QT_QPA_PLATFORM: "offscreen", DISPLAY: "", WAYLAND_DISPLAY: "" },
    });
    let text = "";
    child.stderr.on("data", (d) => {
      text += d;
      if (/\[fscommand\] start/.test(text)) {
        const elapsed = performance.now() - start;
        child.kill();
        child.on("exit", () => done(elapsed));
      }
    });
    setTimeout(() => { child.kill(); fail(new Error("no start: " + text)); }, 30000);
  });
}
const coverMs = [], startMs = [];
for (let i = 0; i < rounds; ++i) {
  coverMs.push(timed(player, ["--thumbnail", demo, join(work, "cover.png")]));
  startMs.push(await untilStart());
}
removeAll(work);

const row = (what, value, reference, refName) =>
  console.log(`${what.padEnd(34)} ${value.padStart(10)}   ${refName.padEnd(40)} ${reference.padStart(10)}`);
console.log(`${count} issues, medians of ${rounds} rounds`);
const ex = median(exportMs), fl = median(extractMs);
row("export (--no-covers --jobs 1)", ms(ex), ms(fl), "floor: magpack extract of each issue");
console.log(`  ratio ${(ex / fl).toFixed(2)}`);
row("site size", mb(siteBytes), mb(extractedBytes + sharedBytes), "extracted files + one shared/ copy");
console.log(`  over: ${(((siteBytes - extractedBytes - sharedBytes) / (extractedBytes + sharedBytes)) * 100).toFixed(2)} %` +
  ` (goal ≤ 1 %); shared/ ${mb(sharedBytes)}, ${count} separate exports would hold ${mb(count * sharedBytes)} of it`);
const re = median(rerunMs);
row("re-run, one issue changed", ms(re), ms(ex), "the full export");
console.log(`  ${((re / ex) * 100).toFixed(1)} % of the full export (goal < 5 %)`);
row("catalogue, 10,000: first paint", ms(median(paintMs)), "1000 ms", "goal");
row("catalogue, 10,000: filter drawn", ms(median(filterMs)), "1000 ms", "goal");
const co = median(coverMs), st = median(startMs);
row("cover (--thumbnail)", ms(co), ms(st), "the Player's start until 'start'");
console.log(`  ratio ${(co / st).toFixed(2)}`);
