/* Feature pages: a mode or account switch reloads the page with the choice,
 * buttons that restart the phone or delete ask first, and the hidden page's
 * XML push answers in place. Every form also works without this script. */
(function () {
  "use strict";

  function word(text) {
    var words = window.LANG || {};
    return Object.prototype.hasOwnProperty.call(words, text) ? words[text] : text;
  }

  /* The forward page shows a mode or an account only after a reload. */
  function reloadWith(form) {
    var query = ["p=features-forward", "q=load"];
    var selects = form.querySelectorAll("select.reload");
    for (var i = 0; i < selects.length; i++) {
      var name = selects[i].getAttribute("data-param") || selects[i].name;
      query.push(encodeURIComponent(name) + "=" + encodeURIComponent(selects[i].value));
    }
    window.location.href = "/servlet?" + query.join("&");
  }

  function pushInPlace(form) {
    var answer = document.getElementById(form.getAttribute("data-answer"));
    form.addEventListener("submit", function (event) {
      if (!window.fetch || !window.URLSearchParams) return;
      event.preventDefault();
      window.fetch(form.action, { method: "POST", credentials: "same-origin",
                                  body: new URLSearchParams(new FormData(form)) })
        .then(function (reply) { return reply.text(); })
        .then(function (text) {
          answer.textContent = word(text.trim() === "success" ? "The XML object was pushed." :
                                    "The XML object was refused.");
        }, function () { answer.textContent = word("The phone did not answer."); });
    });
  }

  document.addEventListener("DOMContentLoaded", function () {
    var i;
    var reloads = document.querySelectorAll("select.reload");
    for (i = 0; i < reloads.length; i++) {
      reloads[i].addEventListener("change", function (event) { reloadWith(event.target.form); });
    }
    /* The script comes with every page; other pages ask in their own way. */
    var page = /[?&]p=([^&]*)/.exec(window.location.search);
    var ours = page && /^(features-|hidden$)/.test(decodeURIComponent(page[1]));
    var asks = ours ? document.querySelectorAll("button[data-confirm], a[data-confirm]") : [];
    for (i = 0; i < asks.length; i++) {
      asks[i].addEventListener("click", function (event) {
        if (!window.confirm(word(event.currentTarget.getAttribute("data-confirm")))) event.preventDefault();
      });
    }
    var push = document.getElementById("pushForm");
    if (push) pushInPlace(push);
  });
})();
