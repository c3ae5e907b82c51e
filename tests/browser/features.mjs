// The feature pages in a browser: the forward mode switch reloads the page
// with the account choice, deleting the logo asks first, and the hidden
// page's XML push answers in place.
//   node tests/browser/features.mjs BUILD_DIR
import { check, runBrowserTest, shot } from "./stack.mjs";

await runBrowserTest(async (page, base) => {
  await page.goto(`${base}/servlet?p=features-forward&q=load`);
  if (/[?&]p=login&q=loginForm/.test(page.url())) {
    await page.locator('input[name="username"]').fill("admin");
    await page.locator('input[name="pwd"]').fill("admin");
    await Promise.all([page.waitForURL(/[?&]p=features-forward/), page.locator('input[name="pwd"]').press("Enter")]);
  }
  check((await page.locator("#ForwardAccount").count()) === 0, "phone mode offers no account");
  await Promise.all([page.waitForURL(/ForwardMode=1/), page.locator("#ForwardMode").selectOption("1")]);
  check((await page.locator("#ForwardAccount").inputValue()) === "0", "account mode offers the enabled account");
  await page.locator("#AlwaysForwardTarget").fill("2000");
  await Promise.all([page.waitForURL(/q=load&fwd=0/), page.locator("#forwardForm button.primary").click()]);
  check((await page.locator("#AlwaysForwardTarget").inputValue()) === "2000", "the account's target shows after the save");
  await shot(page, "features-forward.png");

  let asked = "";
  page.once("dialog", (dialog) => { asked = dialog.message(); dialog.dismiss(); });
  await page.goto(`${base}/servlet?p=features-general&q=load`);
  await page.locator("button[name=reboot]").click();
  check(asked.includes("restarts") && /p=features-general&q=load/.test(page.url()), "a dismissed reboot stays on the page");

  await page.goto(`${base}/servlet?p=hidden&q=load`);
  await page.locator("#editPushXML").fill("<Text>hi</Text>");
  await page.locator("#pushForm button").click();
  await page.locator("#pushAnswer").filter({ hasText: "pushed" }).waitFor();
  check(/p=hidden&q=load/.test(page.url()), "the push answers in place");
});
