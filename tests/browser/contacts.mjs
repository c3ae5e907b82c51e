// A user at the browser: uploads a photo, adds a contact with it and finds
// the contact on the list; the page also works at phone width.
//   node tests/browser/contacts.mjs BUILD_DIR
import { execFileSync } from "node:child_process";
import { mkdtempSync } from "node:fs";
import { tmpdir } from "node:os";
import { join } from "node:path";
import { check, runBrowserTest, shot } from "./stack.mjs";

const photoFile = join(mkdtempSync(join(tmpdir(), "phoneweb-photo-")), "sunset beach.png");
execFileSync("/usr/bin/convert", ["-size", "200x150", "gradient:blue-yellow", photoFile]);

await runBrowserTest(async (page, base) => {
  await page.goto(`${base}/servlet?p=contactsbasic&q=load&num=1&group=0`);
  await page.locator('input[name="username"]').fill("admin");
  await page.locator('input[name="pwd"]').fill("admin");
  await Promise.all([page.waitForURL(/[?&]p=contactsbasic/), page.locator('input[name="pwd"]').press("Enter")]);
  check(await page.locator("#noContacts").isVisible(), "an empty directory says so");

  await page.locator("#uploadPhoto").setInputFiles(photoFile);
  await Promise.all([page.waitForURL(/[?&]photo=sunset%20beach\.png/), page.locator("#photoForm button[type=submit]").click()]);
  const photoName = "Config:" + photoFile.split("/").pop();
  check((await page.locator("#Photo").inputValue()) === photoName, "the uploaded photo is preselected");
  check(await page.locator("#photoPreview").evaluate((img) => img.complete && img.naturalWidth === 110), "the preview shows the photo scaled to 110 pixels");

  await page.locator("#DisplayName").fill("Zoë \"Z\" <Ward>");
  await page.locator("#OfficeNum").fill("2001");
  await Promise.all([page.waitForURL(/[?&]q=load/), page.locator("#saveContact").click()]);
  check(await page.locator(".saved").isVisible(), "the page says the contact was saved");
  const row = page.locator("table.contact-list tbody tr").first();
  check((await row.locator("td.name").textContent()) === "Zoë \"Z\" <Ward>", "the new contact is listed by its name");
  check((await row.getAttribute("data-photo")) === photoName, "the contact keeps its photo");
  await shot(page, "contacts.png");

  await page.setViewportSize({ width: 390, height: 800 });
  await shot(page, "contacts-390.png");
  const wide = await page.evaluate(() => document.documentElement.scrollWidth);
  check(wide <= 390, "no sideways scrolling at 390 px");
});
