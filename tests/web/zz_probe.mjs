import { serve, launch, tempDir } from "./harness.mjs";
import { execFileSync } from "node:child_process";
import { readFileSync, writeFileSync } from "node:fs";
const site = "/tmp/arch/site";
const page0 = readFileSync(site + "/index.html", "utf8");
const items = page0.match(/<li [^\n]*<\/li>\n/g);
let many = ""; for (let n = 0; n < 10000; ++n) many += items[0].replace("示例杂志", "示例杂志" + n); if (process.env.NOIMG) many = many.replace(/<img[^>]*>/g, ""); if (process.env.NOA) many = many.replace(/<a href="[^"]*">/g, "<div>").replace(/<\/a>/g, "</div>");
writeFileSync(site + "/many.html", page0.replace(items.join(""), many));
const s = await serve(site, "/many.html");
const b = await launch();
const tab = await (await b.newContext({ viewport: { width: 1024, height: 768 } })).newPage();
await tab.goto(s.origin + "/many.html");
await tab.waitForTimeout(1000);
for (const q of process.argv.slice(2)) {
console.log(q, JSON.stringify(await tab.evaluate(async (q) => {
  const search = document.getElementById("search");
  const t0 = performance.now();
  search.value = q; search.dispatchEvent(new Event("input"));
  const t1 = performance.now();
  document.body.offsetHeight;
  const t2 = performance.now();
  await new Promise((r) => requestAnimationFrame(() => requestAnimationFrame(r)));
  return [t1 - t0, t2 - t1, performance.now() - t2];
}, q)));
}
await b.close(); s.stop();
