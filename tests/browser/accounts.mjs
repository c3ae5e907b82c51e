// An administrator at the browser: changes an account's label and sees it
// after a reload, and moves a codec up the enabled list.
//   node tests/browser/accounts.mjs BUILD_DIR
// With PHONEWEB_SCREENSHOTS set to a folder, the account pages are saved there.
import { check, runBrowserTest, shot } from "./stack.mjs";

await runBrowserTest(async (page, base) => {
  await page.goto(`${base}/servlet?p=account-register&q=load&acc=1`);
  if (/[?&]p=login&q=loginForm/.test(page.url())) {
    await page.locator('input[name="username"]').fill("admin");
    await page.locator('input[name="pwd"]').fill("admin");
    await Promise.all([page.waitForURL(/[?&]p=account-register/), page.locator('input[name="pwd"]').press("Enter")]);
  }
  check((await page.locator("#acc").inputValue()) === "1", "the second account is selected");
  check((await page.locator("#AccountPassword").inputValue()) === "********", "the password shows as the mask");
  await shot(page, "account-register.png");

  await page.locator("#AccountLabel").fill("Lobby <2>");
  await page.locator("#AccountTransport").selectOption("1");
  // The page is already at the URL it returns to: wait for the next page's load event.
  await Promise.all([page.waitForEvent("load"), page.locator("#confirm").click()]);
  check(/[?&]p=account-register&q=load&acc=1/.test(page.url()), "the save returns to the page");
  check((await page.locator(".saved").count()) === 1, "the page says it saved");
  await page.reload();
  check((await page.locator(".saved").count()) === 0, "only once");
  check((await page.locator("#AccountLabel").inputValue()) === "Lobby <2>", "the new label shows after a reload");
  check((await page.locator("#AccountTransport").inputValue()) === "1", "the chosen transport shows after a reload");

  await page.locator("#acc").selectOption("0");
  await page.waitForURL(/[?&]p=account-register&q=load&acc=0/);
  check((await page.locator("#AccountLabel").inputValue()) === "Reception", "the other account keeps its label");

  await page.goto(`${base}/servlet?p=account-basic&q=load&acc=1`);
  check((await page.locator("#AccountRing option").first().textContent()).trim() === "Common", "the ring list begins with the account's common tone");
  await shot(page, "account-basic.png");
  await page.goto(`${base}/servlet?p=account-adv&q=load&acc=1`);
  check((await page.locator("#MessageVoiceNumber").getAttribute("name")) === "MessageVoiceNumber1", "the voice-mail field carries the account");
  await shot(page, "account-adv.png");
  await page.locator("#AccountMinRTPPort").fill("20000");
  await page.locator("#AccountMaxRTPPort").fill("10000");
  await Promise.all([page.waitForURL(/[?&]q=write/), page.locator("#AccountMaxRTPPort").press("Enter")]);
  check((await page.locator("#error-AccountMinRTPPort").count()) === 1, "the refusal stands next to its field");
  check((await page.locator("#AccountMinRTPPort").inputValue()) === "20000", "what was typed stays");
  await shot(page, "account-adv-refused.png");

  await page.goto(`${base}/servlet?p=account-codec&q=load&acc=1`);
  const enabled = page.locator("#enabledList option");
  check((await enabled.allTextContents()).map((t) => t.trim()).join(",") === "PCMU,PCMA,G722,G729", "the factory codec order");
  await page.locator("#disabledList").selectOption("opus:9");
  await page.locator('button[data-codec="enable"]').click();
  await page.locator("#enabledList").selectOption("opus:9");
  for (let i = 0; i < 4; i++) await page.locator('button[data-codec="up"]').click();
  await page.locator("#enabledList").selectOption("PCMA:1");
  await page.locator('button[data-codec="disable"]').click();
  await shot(page, "account-codec.png");
  await Promise.all([page.waitForEvent("load"), page.locator("#codecForm button[type=submit]").click()]);
  await page.reload();
  check((await enabled.allTextContents()).map((t) => t.trim()).join(",") === "opus,PCMU,G722,G729", "the new codec order shows after a reload");
  check((await page.locator("#disabledList option").first().textContent()).trim() === "PCMA", "the disabled codec heads the disabled list");
});
