// Request handling of the web application: maps one complete request to one response. No network here.
#pragma once

#include "Accounts.hpp"
#include "HttpMessage.hpp"
#include "ImageStore.hpp"

namespace webapp {

// Routes:
//   GET  /login?eid=<id>           login page with a "Confirm" button
//   POST /login (form eid=<id>)    links the account
//   POST /api/v1/images            stores an upload (X-Api-Key of a linked account), 201 {"id":"..."}
//   GET  /api/v1/images            the key's images as JSON
//   GET  /images/<id>.jpg          a stored image
//   GET  /?uploadRealtime=true[&imageId=<id>]   the live page
//   GET  /live/images              every stored image as JSON, polled by the live page
//   GET  /static/kavelo.css, /static/live.js   the pages' style sheet and the live page's script
// A known path with another method answers 405, anything else 404.
class Router {
public:
    // Borrows both; they must outlive the router. Handle may be called from several threads.
    Router(Accounts& accounts, ImageStore& images);

    Response Handle(const Request& request) const;

private:
    Response LoginPage(const Request& request) const;
    Response ConfirmLogin(const Request& request) const;
    Response Upload(const Request& request) const;
    Response ListOwnImages(const Request& request) const;
    Response ServeImage(const std::string& path) const;
    Response LivePage(const Request& request) const;
    Response ListAllImages() const;

    Accounts& accounts_;
    ImageStore& images_;
};

}  // namespace webapp
