// An administrator at the browser on the Settings pages: reorders softkeys
// with the keyboard, picks a time zone by typing, deletes a dial rule after
// confirming.
//   node tests/browser/settings.mjs BUILD_DIR
import { check, runBrowserTest, shot } from "./stack.mjs";

await runBrowserTest(async (page, base) => {
  const asked = [];
  page.on("dialog", (dialog) => { asked.push(dialog.message()); dialog.accept(); });
  await page.goto(`${base}/servlet?p=settings-softkey&q=load`);
  if (/[?&]p=login&q=loginForm/.test(page.url())) {
    await page.locator('input[name="username"]').fill("admin");
    await page.locator('input[name="pwd"]').fill("admin");
    await Promise.all([page.waitForURL(/[?&]p=settings-softkey/), page.locator('input[name="pwd"]').press("Enter")]);
  }
  const keys = (list) => page.$$eval(`${list} option`, (o) => o.map((x) => x.value).join(","));
  await page.selectOption("#disabledKeys", "History");
  await page.focus("#disabledKeys");
  await page.keyboard.press("Alt+ArrowRight");
  await page.keyboard.press("Alt+ArrowUp");
  await page.keyboard.press("Alt+ArrowUp");
  await Promise.all([page.waitForURL(/callStates=/), page.locator("#softkeyForm button.primary").click()]);
  check((await keys("#enabledKeys")) === "Send,IME,History,Delete,Cancel", "a softkey moved by keyboard keeps its place after saving");
  check(!(await keys("#disabledKeys")).includes("History"), "the moved softkey left the other list");
  await shot(page, "settings-softkey.png");

  await page.goto(`${base}/servlet?p=settings-datetime&q=load`);
  await page.locator("#zoneFilter").fill("new york");
  await page.waitForFunction(() => document.getElementById("sWeekEMonth").value === "11");
  check((await page.locator("#TimeZoneAndName").inputValue()) === "-5 United States(New York)", "typing finds the zone");
  check((await page.locator("#sWeekSWeek").inputValue()) === "2", "the zone's own rule is shown");
  await shot(page, "settings-datetime.png");

  await page.goto(`${base}/servlet?p=settings-dialplan&q=load`);
  const rules = await page.locator("form.rule:not(.new)").count();
  await Promise.all([page.waitForURL(/q=load/), page.locator("form.rule button[data-confirm]").first().click()]);
  check(asked.length === 1 && (await page.locator("form.rule:not(.new)").count()) === rules - 1, "a rule is deleted after a confirmation");
});
