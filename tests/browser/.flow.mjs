import { chromium } from "playwright-core";
const base = "http://127.0.0.1:8108";
const browser = await chromium.launch({ executablePath: "/usr/bin/chromium", args: ["--no-sandbox"] });
const page = await browser.newPage({ viewport: { width: 1200, height: 900 } });
const dialogs = [];
page.on("dialog", d => { dialogs.push(d.message()); d.accept(); });
page.on("console", m => { if (m.type() === "error") console.log("console:", m.text(), m.location().url); });
page.on("requestfailed", r => console.log("failed:", r.url()));
page.on("response", r => { if (r.status() === 404) console.log("404:", r.url()); });
await page.goto(`${base}/servlet?p=login&q=loginForm&jumpto=status`);
await page.fill('input[name="username"]', "admin");
await page.fill('input[name="pwd"]', "admin");
await Promise.all([page.waitForURL(/p=status/), page.locator("#loginButton").click()]);
// Softkeys by keyboard: move "History" to the enabled list and to the top.
await page.goto(`${base}/servlet?p=settings-softkey&q=load`);
await page.selectOption("#disabledKeys", "History");
await page.focus("#disabledKeys");
await page.keyboard.press("Alt+ArrowRight");
for (let i = 0; i < 5; i++) await page.keyboard.press("Alt+ArrowUp");
console.log("enabled now:", await page.$$eval("#enabledKeys option", o => o.map(x => x.value).join(",")));
await Promise.all([page.waitForURL(/callStates=/), page.click("#softkeyForm button.primary")]);
console.log("after save:", await page.$$eval("#enabledKeys option", o => o.map(x => x.value).join(",")), await page.locator(".saved").count());
// Call state switch
await Promise.all([page.waitForURL(/Talking/), page.selectOption("#callStates", "Talking.xml:Held")]);
console.log("state:", await page.locator("h2").nth(1).textContent());
// Time zone picker
await page.goto(`${base}/servlet?p=settings-datetime&q=load`);
await page.fill("#zoneFilter", "new york");
await page.waitForTimeout(500);
console.log("zone:", await page.$eval("#TimeZoneAndName", s => s.value), "start:", await page.$eval("#sWeekSMonth", s => s.value), await page.$eval("#sWeekSWeek", s => s.value), "end:", await page.$eval("#sWeekEMonth", s => s.value));
await page.screenshot({ path: "/tmp/settings-shots/flow-datetime.png" });
// Dial plan delete with confirmation
await page.goto(`${base}/servlet?p=settings-dialplan&q=load`);
const before = await page.locator("form.rule:not(.new)").count();
await Promise.all([page.waitForURL(/q=load/), page.locator("form.rule").first().locator("button[data-confirm]").click()]);
console.log("rules:", before, "->", await page.locator("form.rule:not(.new)").count(), "dialogs:", dialogs);
// German
await page.goto(`${base}/servlet?p=settings-preference&q=load`);
await page.selectOption("#LanguageWebLang", "Deutsch");
await Promise.all([page.waitForURL(/q=load/), page.click("button.primary")]);
console.log("lang:", await page.locator("h1").textContent(), await page.locator(".saved").textContent());
await page.screenshot({ path: "/tmp/settings-shots/flow-de.png", fullPage: true });
await page.selectOption("#LanguageWebLang", "English");
await Promise.all([page.waitForURL(/q=load/), page.click("button.primary")]);
await browser.close();
