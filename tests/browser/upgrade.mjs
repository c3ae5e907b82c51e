// A person upgrades the firmware: chooses an image, confirms, sees the
// progress and the outcome, and after the phone's restart logs in again and
// finds the new version on the status page; at 390 px nothing scrolls sideways.
import { execFileSync } from "node:child_process";
import { mkdtempSync, rmSync } from "node:fs";
import { tmpdir } from "node:os";
import { join, resolve } from "node:path";
import { check, runBrowserTest, shot } from "./stack.mjs";

const BUILD = resolve(process.argv[2] || "build-test");
const scratch = mkdtempSync(join(tmpdir(), "phoneweb-fw-"));
process.on("exit", () => rmSync(scratch, { recursive: true, force: true }));
const image = join(scratch, "new.rom");
execFileSync(join(BUILD, "tools/mkfirmware/mkfirmware"), ["--size", "3000000", "7.1.0.2", image]);

async function logIn(page, base) {
  await page.goto(`${base}/servlet?p=settings-upgrade&q=load`);
  await page.fill("#username", "admin");
  await page.fill("#pwd", "admin");
  await Promise.all([page.waitForURL(/p=settings-upgrade/), page.press("#pwd", "Enter")]);
}

await runBrowserTest(async (page, base) => {
  await logIn(page, base);
  check(await page.locator('label[for="firmwareFile"]').isVisible(), "the file field has its label");
  check((await page.locator("#upgradeState").getAttribute("aria-live")) === "polite", "progress is announced");
  await page.setViewportSize({ width: 390, height: 900 });
  check(await page.evaluate(() => document.documentElement.scrollWidth <= 390), "no sideways scrolling at 390 px");
  await shot(page, "upgrade-narrow.png");
  await page.setViewportSize({ width: 1100, height: 900 });

  let asked = "";
  page.on("dialog", (dialog) => { asked = dialog.message(); dialog.accept(); });
  await page.setInputFiles("#firmwareFile", image);
  await page.click("#upgradeButton");
  await page.waitForFunction(() => /installed/.test(document.getElementById("upgradeState").textContent), null, { timeout: 60000 });
  check(/restarts/.test(asked), "the upgrade asks first and says the phone restarts");
  await shot(page, "upgrade-done.png");

  await page.waitForURL(/p=login&q=loginForm/, { timeout: 60000 });
  check(true, "after the restart the login page is shown again");
  await page.fill("#username", "admin");
  await page.fill("#pwd", "admin");
  await Promise.all([page.waitForURL(/p=status/), page.press("#pwd", "Enter")]);
  check((await page.locator("#firmware").textContent()).trim() === "7.1.0.2", "the status page shows the new firmware");
});
