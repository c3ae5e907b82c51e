// An administrator programs a line key: picking another function redraws
// the row's fields without a reload, and the key shows after saving.
//   node tests/browser/dsskey.mjs BUILD_DIR
import { check, runBrowserTest, shot } from "./stack.mjs";

await runBrowserTest(async (page, base) => {
  await page.goto(`${base}/servlet?p=dsskey&q=load&model=1`);
  if (/[?&]p=login&q=loginForm/.test(page.url())) {
    await page.locator('input[name="username"]').fill("admin");
    await page.locator('input[name="pwd"]').fill("admin");
    await Promise.all([page.waitForURL(/[?&]p=dsskey/), page.locator('input[name="pwd"]').press("Enter")]);
  }
  check((await page.locator("#selType_1").inputValue()) === "15", "line key 1 is a Line key");
  check(await page.locator("#memValueList_1").isVisible(), "a Line key offers its modes");
  await shot(page, "dsskey-linekey.png");

  const loads = [];
  page.on("framenavigated", (frame) => { if (frame === page.mainFrame()) loads.push(frame.url()); });
  await page.locator("#selType_3").focus();
  await page.locator("#selType_3").selectOption("16");
  await page.locator("#memExt_3:not([disabled])").waitFor();
  check(loads.length === 0, "picking BLF did not reload the page");
  check(await page.locator("#memValue_3").isEnabled(), "BLF enables the value");
  check((await page.locator("#selLine_3 option").count()) >= 1 && await page.locator("#selLine_3").isEnabled(), "BLF enables the line");
  await page.locator("#memValue_3").fill("1003");
  await page.locator("#memLabel_3").fill("Desk \"3\"");
  await page.locator("#selType_4").selectOption("15");
  await page.locator("#memValueList_4:not([hidden])").waitFor();
  check(await page.locator("#memLabel_4").isDisabled(), "a Line key has no label");
  await shot(page, "dsskey-changed.png");

  await Promise.all([page.waitForURL(/[?&]q=load&linepage=1/), page.locator("#dsskeyForm button[type=submit]").click()]);
  check(await page.locator(".saved").isVisible(), "the page says it saved");
  await page.reload();
  check(!(await page.locator(".saved").count()), "only once");
  check((await page.locator("#selType_3").inputValue()) === "16", "the BLF key shows after a reload");
  check((await page.locator("#memLabel_3").inputValue()) === "Desk \"3\"", "its label shows after a reload");

  await page.setViewportSize({ width: 390, height: 900 });
  await shot(page, "dsskey-narrow.png");
  const wide = await page.evaluate(() => document.documentElement.scrollWidth);
  check(wide <= 390, "no sideways scrolling at 390 px");
  await page.goto(`${base}/servlet?p=dsskey&q=load&model=2`);
  await shot(page, "dsskey-programkey.png");
  await page.goto(`${base}/servlet?p=dsskey&q=load&model=3&extno=2`);
  await shot(page, "dsskey-ext.png");
});
