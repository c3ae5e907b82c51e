/* Network directory: the ticked custom lists travel as one text, and while
 * the phone fetches the lists the page asks for their state. */
(function () {
  "use strict";
  var form = document.getElementById("broadsoftForm");
  var box = document.querySelector(".custom-lists");
  var status = document.getElementById("customStatus");
  var words = window.LANG || {};
  function say(text) { status.textContent = words[text] || text; }
  form.addEventListener("submit", function () {
    var names = "";
    box.querySelectorAll(".custom-pick:checked").forEach(function (pick) { names += pick.value + ","; });
    document.getElementById("activeCustomList").value = names;
    /* Without the list on the page the stored choice stays. */
    if (box.getAttribute("data-count") === "0") form.querySelector('input[name="z"]').value = "no";
  });
  var ask = box.getAttribute("data-ask");
  if (ask === "fail") say("The custom lists could not be fetched.");
  var custom = document.getElementById("BsftCustom");
  if (ask !== "true" || !window.fetch || (custom && custom.value === "0")) return;
  say("Fetching the custom lists ...");
  var tries = 0;
  var timer = window.setInterval(function () {
    if (++tries > 30) { window.clearInterval(timer); say("The custom lists could not be fetched."); return; }
    window.fetch("/servlet?p=contacts-broadsoft&q=askstatus", { credentials: "same-origin", cache: "no-store" })
      .then(function (answer) { return answer.text(); })
      .then(function (text) {
        if (text === "3") { window.clearInterval(timer); window.location.href = "/servlet?p=contacts-broadsoft&q=load"; }
        else if (text.indexOf("4,") === 0) { window.clearInterval(timer); say(text.substring(2)); }
      }, function () {});
  }, 2000);
})();
