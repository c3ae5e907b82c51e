// An administrator backs the configuration up and restores it: the export
// downloads, an import asks first (and a "No" changes nothing), and the
// pages fit a 390 px screen.
//   node tests/browser/maintenance.mjs BUILD_DIR
import { readFileSync } from "node:fs";
import { check, runBrowserTest, shot } from "./stack.mjs";

await runBrowserTest(async (page, base) => {
  await page.goto(`${base}/servlet?p=settings-config&q=load`);
  await page.locator('input[name="username"]').fill("admin");
  await page.locator('input[name="pwd"]').fill("admin");
  await Promise.all([page.waitForURL(/[?&]p=settings-config/), page.locator('input[name="pwd"]').press("Enter")]);
  const [download] = await Promise.all([page.waitForEvent("download"), page.locator('form[action$="q=export"] button').click()]);
  check(download.suggestedFilename() === "config.bin", "the export downloads config.bin");
  const archive = await download.path();
  check(readFileSync(archive).subarray(257, 262).toString() === "ustar", "the export is a POSIX tar");

  const form = page.locator('form[action$="q=import"]');
  await form.locator("#ConfigFileName").setInputFiles(archive);
  let asked = "";
  let answer = "dismiss";
  page.on("dialog", (dialog) => { asked = dialog.message(); dialog[answer](); });
  await form.locator("button").click();
  check(asked.startsWith("The phone takes over every setting") && /q=load/.test(page.url()), "declining the question keeps the page");
  answer = "accept";
  await Promise.all([page.waitForURL(/q=import/), form.locator("button").click()]);
  check((await page.locator("#noticeText").textContent()) === "Configuration updating ...", "the import says the phone updates");

  await page.setViewportSize({ width: 390, height: 800 });
  for (const name of ["settings-config", "settings-autop", "settings-tr069"]) {
    await page.goto(`${base}/servlet?p=${name}&q=load`);
    check((await page.evaluate(() => document.documentElement.scrollWidth)) <= 390, `${name} fits 390 px`);
    await shot(page, `${name}-390.png`);
  }
});
